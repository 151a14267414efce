// The command line's "transfer" options on any arguments (NUL-separated): no crash, no hang, no
// unbounded read; a refusal quotes the value it refuses as given; a time that gets through is
// one the time field can hold; the frames of anything accepted can be built without a crash.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzInput.h"
#include "cli/TransferOptions.h"
#include "clock/TimeFieldRules.h"
#include "message/TransferRequest.h"

using namespace meridial;
using meridial::fuzz::Broken;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // "--message-file -" must not wait for a terminal.
    static const bool kNoInput = std::freopen("/dev/null", "r", stdin) != nullptr;
    (void)kNoInput;
    QStringList args;
    for (const QByteArray& part :
         QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
             .split('\0'))
        args << QString::fromUtf8(part);
    const auto parsed = cli::ParseTransferOptions(args);
    if (!parsed) {
        // "--opt: 'value' ...": the value (or a part of it) as given, not with a
        // placeholder filled in.
        const QString& error = parsed.error();
        const qsizetype open = error.indexOf(QStringLiteral(": '"));
        if (error.startsWith(QStringLiteral("--")) && open > 0 && !error.contains(u'\n')) {
            const qsizetype close = error.indexOf(QStringLiteral("' "), open + 3);
            const QString quoted = error.mid(open + 3, close - open - 3);
            bool given = false;
            for (const QString& arg : args) given = given || arg.contains(quoted);
            if (close > 0 && !given) Broken("a refusal quotes a value that was not given");
        }
        return 0;
    }
    const cli::TransferOptions& options = *parsed;
    if (options.help || options.version) return 0;
    if (!FieldAllows(options.request.timeText)) Broken("a time the field cannot hold");
    if (options.message.size() > cli::kMaxMessageFileBytes) Broken("an unbounded message");
    TransferRequest request = options.request;
    request.messageBytes = options.message.toLatin1().toStdString();
    for (const TransferStep step : kTransferSteps)
        if (const FrameResult frame = BuildTransferFrame(request, step); frame && frame->empty())
            Broken("an empty frame");
    return 0;
}
