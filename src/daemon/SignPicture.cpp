#include "daemon/SignPicture.h"

#include <chrono>

#include "sign/FacePicture.h"
#include "sign/SignSession.h"

namespace meridial::daemon {
namespace {

using namespace std::chrono;

long long Ms(schedule::Instant at) {
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

// What the sign holds: the frames it last acknowledged, fed to the virtual sign's own decoder
// and state on a clock where they arrive at the moment they were sent. The sign keeps its clock
// from there, so the picture shows the clock it runs, right or wrong.
sign::SignState Held(const Shown& shown) {
    sign::SignSession session;
    const long long at = Ms(shown.sentAt);
    for (const QString* hex : {&shown.clockFrame, &shown.zoneFrame, &shown.messageFrame}) {
        const QByteArray bytes = QByteArray::fromHex(hex->toLatin1());
        session.Feed(reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<std::size_t>(bytes.size()), at);
    }
    session.Advance(at);
    return session.State();
}

std::string Ago(seconds age) {
    const long long s = std::max(0LL, static_cast<long long>(age.count()));
    if (s < 60) return std::to_string(s) + " s ago";
    if (s < 2 * 3600) return std::to_string(s / 60) + " min ago";
    if (s < 2 * 86400) return std::to_string(s / 3600) + " h ago";
    return std::to_string(s / 86400) + " days ago";
}

}  // namespace

Picture DrawSignPicture(const SignState& state, schedule::Instant now, const QString& format) {
    sign::PictureStyle style;
    sign::SignFace face;
    if (state.failures > 0) {
        style.dimmed = true;
        style.caption = "last acknowledged " +
                        (state.lastAcknowledged ? Ago(now - *state.lastAcknowledged) : "never");
    }
    if (state.shown) {
        const sign::SignState held = Held(*state.shown);
        face = sign::ComposeFace(held, Ms(now));
        const auto lines = held.Display(Ms(now));
        style.title = "Clock " + lines[0] + ", date " + lines[1] + ", message \"" + lines[2] + "\"";
    } else {
        // Nothing is known of what it shows: every dot dark rather than a guess.
        for (sign::DotRows& line : face.lines) line = sign::PlaceOnLine({}, 0);
        if (style.caption.empty()) style.caption = "nothing acknowledged yet";
        style.title = "Nothing known";
    }
    if (!style.caption.empty()) style.title += " (" + style.caption + ")";

    if (format == QLatin1String("png")) {
        const std::string png = sign::FacePng(face, style);
        return {QByteArrayLiteral("image/png"), QByteArray(png.data(), qsizetype(png.size()))};
    }
    const std::string svg = sign::FaceSvg(face, style);
    return {QByteArrayLiteral("image/svg+xml"), QByteArray(svg.data(), qsizetype(svg.size()))};
}

}  // namespace meridial::daemon
