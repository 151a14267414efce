#include "sign/FrameReport.h"

#include <cstdio>

#include "clock/DisplayFormats.h"
#include "link/SignFrame.h"
#include "sign/SignState.h"

namespace meridial::sign {
namespace {

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Moment(const MomentContent& m) {
    char text[48];
    if (m.IsEmpty())
        std::snprintf(text, sizeof text, "none (20%02d)", m.year);
    else
        std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:00 UTC", m.year, m.month, m.day,
                      m.hour);
    return text;
}

char OffsetSign(const ZoneContent& z) {
    return z.east || (z.offsetHours == 0 && z.offsetMinutes == 0) ? '+' : '-';
}

// One line for the terminal, and the decoded fields for the log.
void Describe(const DecodedFrame& f, std::string& line, std::string& fields) {
    char text[256];
    auto order = [](int code) -> const char* {
        return code >= 0 && code < static_cast<int>(kDateOrderNames.size())
                   ? kDateOrderNames[static_cast<std::size_t>(code)].data()
                   : "?";
    };
    switch (f.kind) {
        case FrameKind::Clock: {
            const ClockContent& c = f.clock;
            std::snprintf(text, sizeof text,
                          "clock   id=%02d %04d-%02d-%02d %02d:%02d:%02d UTC weekday=%d", f.signId,
                          c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday);
            line = text;
            std::snprintf(text, sizeof text,
                          "{\"utc\":\"%04d-%02d-%02dT%02d:%02d:%02dZ\",\"weekday\":%d}", c.year,
                          c.month, c.day, c.hour, c.minute, c.second, c.weekday);
            fields = text;
            break;
        }
        case FrameKind::Zone: {
            const ZoneContent& z = f.zone;
            std::snprintf(text, sizeof text,
                          "zone    id=%02d dst-start=%s dst-end=%s offset=%c%02d:%02d time=%s "
                          "date=%s order=%s",
                          f.signId, Moment(z.start).c_str(), Moment(z.end).c_str(), OffsetSign(z),
                          z.offsetHours, z.offsetMinutes, z.twelveHour ? "12h" : "24h",
                          z.numericDate ? "number" : "alphabet", order(z.dateOrder));
            line = text;
            std::snprintf(text, sizeof text,
                          "{\"dstStart\":%s,\"dstEnd\":%s,\"offset\":\"%c%02d:%02d\","
                          "\"timeFormat\":\"%s\",\"dateStyle\":\"%s\",\"dateOrder\":\"%s\"}",
                          JsonString(Moment(z.start)).c_str(), JsonString(Moment(z.end)).c_str(),
                          OffsetSign(z), z.offsetHours, z.offsetMinutes, z.twelveHour ? "12" : "24",
                          z.numericDate ? "number" : "alphabet", order(z.dateOrder));
            fields = text;
            break;
        }
        case FrameKind::Message: {
            const std::string checksum =
                f.bytes.size() >= 4 ? HexBytes(f.bytes.substr(f.bytes.size() - 4, 1)) : "";
            std::snprintf(text, sizeof text, "message id=%02d", f.signId);
            line = std::string(text) + " speed=" + f.message.speed + " body=\"" +
                   Printable(f.message.body) + "\" sum=" + checksum;
            fields = "{\"speed\":\"" + std::string(1, f.message.speed) +
                     "\",\"body\":" + JsonString(f.message.body) + ",\"checksum\":\"" + checksum +
                     "\"}";
            break;
        }
        case FrameKind::Reset: {
            std::snprintf(text, sizeof text, "reset   new-id=%02X", f.newId);
            line = text;
            std::snprintf(text, sizeof text, "{\"newId\":\"%02X\"}", f.newId);
            fields = text;
            break;
        }
        case FrameKind::Invalid:
            line = "invalid " + std::to_string(f.bytes.size()) + " bytes skipped";
            fields = "{}";
            break;
    }
    if (f.checksumOk) line += *f.checksumOk ? " checksum ok" : "";
    if (!f.faults.empty()) {
        line += " FAULT:";
        for (const std::string& fault : f.faults) line += " " + fault + ";";
    }
}

std::string JsonLine(const DecodedFrame& f, const std::string& fields) {
    std::string faults = "[";
    for (const std::string& fault : f.faults)
        faults += (faults.size() > 1 ? "," : "") + JsonString(fault);
    faults += "]";
    char text[256];
    std::snprintf(text, sizeof text,
                  "\"firstByteMs\":%lld,\"lastByteMs\":%lld,\"byte11Ms\":%s,\"longestGapMs\":%lld,"
                  "\"shortestGapMs\":%lld,",
                  f.firstByteMs, f.lastByteMs,
                  f.byte11Ms ? std::to_string(*f.byte11Ms).c_str() : "null", f.longestGapMs,
                  f.shortestGapMs);
    return "{\"kind\":\"" + std::string(KindName(f.kind)) +
           "\",\"signId\":" + (f.signId >= 0 ? std::to_string(f.signId) : "null") + ",\"hex\":\"" +
           HexBytes(f.bytes) + "\"," + text +
           "\"checksumOk\":" + (f.checksumOk ? (*f.checksumOk ? "true" : "false") : "null") +
           ",\"faults\":" + faults + ",\"decoded\":" + fields + "}\n";
}

}  // namespace

FrameReport ReportFrame(const DecodedFrame& frame) {
    FrameReport report;
    std::string fields;
    Describe(frame, report.line, fields);
    report.json = JsonLine(frame, fields);
    return report;
}

}  // namespace meridial::sign
