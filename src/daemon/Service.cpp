#include "daemon/Service.h"

#include "daemon/SignPicture.h"

#include <QThread>
#include <algorithm>
#include <cstdio>
#include <deque>

#include "app/DescribeOutcome.h"
#include "cli/PreparedTransfer.h"
#include "link/AckReply.h"
#include "link/LineIdentity.h"
#include "link/LinkFactory.h"

namespace meridial::daemon {
namespace {

using schedule::Instant;
using namespace std::chrono_literals;

// Plans reach this far ahead; a sign with nothing planned before then is looked at again then.
constexpr auto kHorizon = std::chrono::days(35);

void Log(const QString& line) {
    std::fprintf(stderr, "%s\n", EscapedText(line.toStdString()).c_str());
    std::fflush(stderr);
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString OutcomeName(TransferStatus status) {
    switch (status) {
    case TransferStatus::Ok: return QStringLiteral("acknowledged");
    case TransferStatus::EmptyMessage: return QStringLiteral("nothing to send");
    case TransferStatus::OpenFailed: return QStringLiteral("open failed");
    case TransferStatus::BuildFailed: return QStringLiteral("build failed");
    case TransferStatus::NotAcknowledged: break;
    }
    return QStringLiteral("not acknowledged");
}

QString Seconds(std::chrono::seconds wait) {
    if (wait.count() % 60 == 0) return QStringLiteral("%1 min").arg(wait.count() / 60);
    return QStringLiteral("%1 s").arg(wait.count());
}

// The sign's Transfer of what holds it: its section's values with the holding's message and
// speed, every frame built. Built when it is sent, so the clock frame carries that moment.
Result<cli::PreparedTransfer, QString> PrepareFor(const Building& building,
                                                  const BuildingSign& sign,
                                                  const schedule::Holding& holding) {
    QStringList request;
    const QStringList& args = sign.sign.arguments;
    for (qsizetype a = 0; a + 1 < args.size(); a += 2)
        if (args[a] != QStringLiteral("--message") && args[a] != QStringLiteral("--message-file"))
            request << args[a] << args[a + 1];
    request << QStringLiteral("--message=") + Q(holding.message);
    if (holding.speed) request << QStringLiteral("--speed") << QString::number(*holding.speed);
    const auto options = cli::ParseTransferOptions(request);
    if (!options) return Result<cli::PreparedTransfer, QString>::Fail(options.error());
    auto prepared = cli::Prepare(*options, *building.settings);
    if (!prepared) return Result<cli::PreparedTransfer, QString>::Fail(prepared.error().message);
    return std::move(*prepared);
}

}  // namespace

// One line to the signs (a device, a device server's port): one Transfer at a time on it.
struct Service::Line {
    LineIdentity identity;
    std::deque<QString> queue;  // sign names, each at most once
    bool busy = false;
    std::shared_ptr<Waiter> waiter;  // the running Transfer's, to abort it
};

// What the service has in mind for a sign.
struct Service::Planned {
    schedule::SignPlanInput input;
    QDateTime inputMade;
    schedule::Holding now;
    std::optional<schedule::Change> next;
    Instant nextClock;
    std::optional<Instant> retryAt;
    Line* line = nullptr;
    QString queuedKind;  // empty: not queued
    bool running = false;
};

Service::Service(std::shared_ptr<const Building> building, QString statePath, ServiceState state,
                 QObject* parent)
    : QObject(parent),
      m_building(std::move(building)),
      m_statePath(std::move(statePath)),
      m_state(std::move(state)) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

Service::~Service() {
    for (const auto& line : m_lines)
        if (line->waiter) line->waiter->Abort();
}

QDateTime Service::Now() const { return QDateTime::currentDateTimeUtc(); }

Service::Line& Service::LineFor(const LinkTarget& target) {
    LineIdentity identity(target);
    for (const auto& line : m_lines)
        if (line->identity.SameLine(identity)) return *line;
    m_lines.push_back(std::make_unique<Line>(Line{std::move(identity), {}, false, {}}));
    return *m_lines.back();
}

void Service::Start() {
    DropEndedNotices();
    ReplanAll();
    SendWhatIsNotThere(QStringLiteral("start"));
    Arm();
}

void Service::Reload(std::shared_ptr<const Building> building) {
    m_building = std::move(building);
    // Notices stay; signs that are gone drop out of them.
    for (schedule::Notice& notice : m_state.notices)
        std::erase_if(notice.signs, [this](const std::string& name) {
            return m_building->IndexOf(Q(name)) < 0;
        });
    std::erase_if(m_state.notices, [](const schedule::Notice& n) { return n.signs.empty(); });
    ReplanAll();
    SendWhatIsNotThere(QStringLiteral("reload"));
    for (const auto& line : m_lines) Kick(*line);  // those that took a moved sign's place
    Save();
    Arm();
}

void Service::ReplanAll() {
    std::vector<Planned> previous = std::move(m_planned);
    m_planned.clear();
    m_planned.resize(m_building->signs.size());
    for (std::size_t i = 0; i < m_planned.size(); ++i) {
        const BuildingSign& sign = m_building->signs[i];
        // A sign that was queued or sending keeps that, wherever it is in the new file.
        Line* was = nullptr;
        for (std::size_t j = 0; j < previous.size(); ++j)
            if (Q(previous[j].input.name) == sign.sign.name) {
                m_planned[i].running = previous[j].running;
                m_planned[i].queuedKind = previous[j].queuedKind;
                m_planned[i].retryAt = previous[j].retryAt;
                was = previous[j].line;
            }
        Line& line = LineFor(sign.target);
        m_planned[i].line = &line;
        // Moved to another line: its place in the old one's queue goes with it.
        if (was && was != &line) {
            const auto queued = std::find(was->queue.begin(), was->queue.end(), sign.sign.name);
            if (queued != was->queue.end()) {
                was->queue.erase(queued);
                line.queue.push_back(sign.sign.name);
            }
        }
        Replan(static_cast<int>(i));
    }
}

void Service::Replan(int index) {
    Planned& planned = m_planned[static_cast<std::size_t>(index)];
    const QDateTime now = Now();
    // The zone's offsets are taken for 400 days from the day they were made: made again daily.
    if (!planned.inputMade.isValid() || planned.inputMade.daysTo(now) >= 1) {
        planned.input = PlanInputFor(*m_building, index, now);
        planned.inputMade = now;
    }
    const Instant at = ToInstant(now);
    planned.now = schedule::HoldingAt(planned.input, m_state.notices, at);
    planned.next = schedule::NextChange(planned.input, m_state.notices, at, at + kHorizon);
    planned.nextClock =
        schedule::NextClockSend(planned.input, m_building->schedule.service.dailyMinute, at);
}

void Service::SendWhatIsNotThere(const QString& kind) {
    for (std::size_t i = 0; i < m_planned.size(); ++i) {
        const Planned& planned = m_planned[i];
        if (planned.now.message.empty()) continue;
        const BuildingSign& sign = m_building->signs[i];
        const auto known = m_state.signs.find(sign.sign.name);
        // What would be sent now, clock aside, against what the sign acknowledged last.
        std::optional<QString> content;
        if (const auto prepared = PrepareFor(*m_building, sign, planned.now))
            content = prepared->frames.value(1) + u'|' + prepared->frames.value(2) + u'|' +
                      Q(sign.target.address);
        const bool there = known != m_state.signs.end() && known->second.shown && content &&
                           known->second.shown->Content() == *content;
        if (!there) Enqueue(static_cast<int>(i), kind);
    }
}

void Service::Enqueue(int index, const QString& kind) {
    if (m_stopping) return;
    Planned& planned = m_planned[static_cast<std::size_t>(index)];
    const QString name = m_building->signs[static_cast<std::size_t>(index)].sign.name;
    // A change outranks a clock send or a retry of the sign already waiting: both send all.
    if (planned.queuedKind.isEmpty() || kind != QStringLiteral("clock"))
        planned.queuedKind = kind;
    Line& line = *planned.line;
    if (std::find(line.queue.begin(), line.queue.end(), name) == line.queue.end())
        line.queue.push_back(name);
    Kick(line);
}

void Service::Kick(Line& line) {
    while (!line.busy && !line.queue.empty() && !m_stopping) {
        const QString name = line.queue.front();
        line.queue.pop_front();
        const int index = m_building->IndexOf(name);
        if (index < 0) continue;
        Planned& planned = m_planned[static_cast<std::size_t>(index)];
        if (planned.line != &line) continue;  // a reload moved it: it waits on its new line
        if (planned.running) {
            line.queue.push_back(name);  // its old line still sends: after that
            return;
        }
        const QString kind = planned.queuedKind.isEmpty() ? QStringLiteral("change")
                                                          : planned.queuedKind;
        planned.queuedKind.clear();
        const BuildingSign& sign = m_building->signs[static_cast<std::size_t>(index)];
        const schedule::Holding holding = planned.now;
        if (holding.message.empty()) continue;

        const auto prepared = PrepareFor(*m_building, sign, holding);
        if (!prepared) {
            TransferOutcome refused;
            refused.status = TransferStatus::BuildFailed;
            refused.message = prepared.error().toStdString();
            Record(name, kind, holding, {}, refused);
            continue;
        }
        Shown shown{Q(holding.message), prepared->request.speed, Q(holding.source),
                    prepared->frames.value(0), prepared->frames.value(1),
                    prepared->frames.value(2), Q(sign.target.address), ToInstant(Now())};
        line.busy = true;
        planned.running = true;
        auto waiter = std::make_shared<BlockingWaiter>();
        line.waiter = waiter;
        const LinkTarget target = sign.target;
        const TransferRequest transfer = prepared->request;
        Line* linePtr = &line;
        QThread* thread = QThread::create([=, this] {
            const auto link = MakeSignLink(target, *waiter);
            const TransferOutcome outcome = RunTransfer(*link, kDefaultPortNumber, transfer);
            QMetaObject::invokeMethod(
                this,
                [=, this] { Finished(linePtr, name, kind, holding, shown, outcome); },
                Qt::QueuedConnection);
        });
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
    }
}

void Service::Finished(Line* line, QString name, QString kind, schedule::Holding holding,
                       Shown shown, TransferOutcome outcome) {
    line->busy = false;
    line->waiter.reset();
    Line* moved = nullptr;  // the sign's line since a reload, waiting for this to end
    if (const int index = m_building->IndexOf(name); index >= 0) {
        Planned& planned = m_planned[static_cast<std::size_t>(index)];
        planned.running = false;
        if (planned.line != line) moved = planned.line;
    }
    Record(name, kind, holding, shown, outcome);
    if (m_stopping) {
        const bool idle = std::none_of(m_lines.begin(), m_lines.end(),
                                       [](const auto& l) { return l->busy; });
        if (idle && m_stopped) {
            auto done = std::move(m_stopped);
            m_stopped = nullptr;
            done();
        }
        return;
    }
    Kick(*line);
    if (moved) Kick(*moved);
    Arm();
}

void Service::Record(const QString& name, const QString& kind, const schedule::Holding& holding,
                     const Shown& shown, const TransferOutcome& outcome) {
    const Instant at = ToInstant(Now());
    SignState& state = m_state.signs[name];
    const bool ok = outcome.status == TransferStatus::Ok;
    const QString reason = Q(FailureReason(outcome));
    state.lastAttempt = Attempt{at, kind, OutcomeName(outcome.status), reason};
    const int index = m_building->IndexOf(name);
    Planned* planned = index < 0 ? nullptr : &m_planned[static_cast<std::size_t>(index)];
    QString logLine = QStringLiteral("%1: %2 \"%3\" (%4) to %5: %6")
                          .arg(name, kind, Q(holding.message), Q(holding.source),
                               shown.line.isEmpty() ? QStringLiteral("-") : shown.line,
                               OutcomeName(outcome.status));
    if (ok) {
        state.shown = shown;
        state.failures = 0;
        state.failingSince.reset();
        state.lastAcknowledged = at;
        if (planned) planned->retryAt.reset();
    } else {
        ++state.failures;
        ++state.failuresTotal;
        if (!state.failingSince) state.failingSince = at;
        const auto wait = schedule::RetryDelay(state.failures);
        if (planned) planned->retryAt = at + wait;
        logLine += QStringLiteral(": %1; next try in %2").arg(reason, Seconds(wait));
    }
    Log(logLine);
    Save();
    Changed(name);
}

void Service::OnSignChanged(std::function<void(const QString& name)> listener) {
    m_listeners.push_back(std::move(listener));
}

void Service::Changed(const QString& name) {
    for (const auto& listener : m_listeners) listener(name);
}

std::optional<QString> Service::CheckMessage(const QString& message) const {
    return MessageRefusal(*m_building->settings, message);
}

std::optional<Picture> Service::SignPicture(const QString& name, const QString& format) const {
    const int index = m_building->IndexOf(name);
    if (index < 0) return std::nullopt;
    const auto known = m_state.signs.find(name);
    return DrawSignPicture(known == m_state.signs.end() ? SignState{} : known->second,
                           ToInstant(Now()), format);
}

void Service::DropEndedNotices() {
    const Instant now = ToInstant(Now());
    std::erase_if(m_state.notices, [now](const schedule::Notice& n) { return n.until <= now; });
}

void Service::Tick() {
    if (m_stopping) return;
    const Instant now = ToInstant(Now());
    DropEndedNotices();
    for (std::size_t i = 0; i < m_planned.size(); ++i) {
        Planned& planned = m_planned[i];
        const int index = static_cast<int>(i);
        const bool changes = planned.next && planned.next->at <= now;
        const bool clock = planned.nextClock <= now;
        const bool retry = planned.retryAt && *planned.retryAt <= now;
        const bool horizon = !planned.next && planned.inputMade.isValid() &&
                             planned.inputMade.daysTo(Now()) >= 1;
        if (!changes && !clock && !retry && !horizon) continue;
        const schedule::Holding before = planned.now;
        Replan(index);
        if (changes && !(planned.now == before)) {
            planned.retryAt.reset();  // the change's Transfer supersedes the retry
            Enqueue(index, QStringLiteral("change"));
        } else if (retry) {
            planned.retryAt.reset();
            Enqueue(index, QStringLiteral("retry"));
        }
        if (clock) Enqueue(index, QStringLiteral("clock"));
    }
    Arm();
}

void Service::Arm() {
    if (m_stopping) return;
    std::optional<Instant> earliest;
    auto consider = [&](Instant at) {
        if (!earliest || at < *earliest) earliest = at;
    };
    for (const Planned& planned : m_planned) {
        if (planned.next) consider(planned.next->at);
        consider(planned.nextClock);
        if (planned.retryAt) consider(*planned.retryAt);
        if (!planned.next) consider(ToInstant(planned.inputMade.addDays(1)));
    }
    if (!earliest) return;
    const qint64 wait = Now().msecsTo(FromInstant(*earliest));
    // Long waits are cut into days: a timer far ahead drifts with a suspended machine.
    m_timer.start(static_cast<int>(std::clamp<qint64>(wait, 0, 24LL * 3600 * 1000)));
}

void Service::Save() {
    if (const auto written = WriteStateFile(m_statePath, m_state); !written)
        Log(QStringLiteral("state not kept: %1").arg(written.error()));
}

void Service::Stop(int graceMs, std::function<void()> done) {
    m_stopping = true;
    m_timer.stop();
    for (const auto& line : m_lines) line->queue.clear();
    const bool busy =
        std::any_of(m_lines.begin(), m_lines.end(), [](const auto& l) { return l->busy; });
    if (!busy) {
        Save();
        done();
        return;
    }
    m_stopped = std::move(done);
    QTimer::singleShot(graceMs, this, [this] {
        const auto cut = [this] {
            for (const auto& line : m_lines)
                if (line->waiter) line->waiter->Abort();
        };
        cut();
        // And again until all have ended: a link opened after the first cut starts afresh.
        auto* again = new QTimer(this);
        connect(again, &QTimer::timeout, this, cut);
        again->start(100);
    });
}

QJsonObject Service::SignJson(int index) const {
    const BuildingSign& sign = m_building->signs[static_cast<std::size_t>(index)];
    const Planned& planned = m_planned[static_cast<std::size_t>(index)];
    const auto known = m_state.signs.find(sign.sign.name);
    QJsonObject state = ToJson(known == m_state.signs.end() ? SignState{} : known->second);
    if (planned.next)
        state[u"nextChange"] = QJsonObject{{QStringLiteral("at"), IsoText(planned.next->at)},
                                           {QStringLiteral("message"), Q(planned.next->holding.message)},
                                           {QStringLiteral("source"), Q(planned.next->holding.source)}};
    else
        state[u"nextChange"] = QJsonValue::Null;
    state[u"nextAttempt"] =
        planned.retryAt ? QJsonValue(IsoText(*planned.retryAt)) : QJsonValue(QJsonValue::Null);
    state[u"planned"] = QJsonObject{{QStringLiteral("message"), Q(planned.now.message)},
                                    {QStringLiteral("source"), Q(planned.now.source)}};
    state[u"sending"] = planned.running || !planned.queuedKind.isEmpty();
    return QJsonObject{{QStringLiteral("name"), sign.sign.name},
                       {QStringLiteral("groups"), QJsonArray::fromStringList(sign.sign.groups)},
                       {QStringLiteral("port"), Q(sign.target.address)},
                       {QStringLiteral("state"), state}};
}

QJsonArray Service::Signs() const {
    QJsonArray signs;
    for (std::size_t i = 0; i < m_planned.size(); ++i) signs.append(SignJson(static_cast<int>(i)));
    return signs;
}

std::optional<QJsonObject> Service::Sign(const QString& name) const {
    const int index = m_building->IndexOf(name);
    if (index < 0) return std::nullopt;
    return SignJson(index);
}

QJsonObject Service::Plan(int hours) const {
    return PlanJson(*m_building, m_state.notices, Now(), hours);
}

Result<QString, QString> Service::AddNotice(const NoticeRequest& request) {
    using R = Result<QString, QString>;
    const auto signs = schedule::ResolveSigns(request.signs.toStdString(), m_building->SignInfos());
    if (!signs) return R::Fail(Q(signs.error()));
    if (const auto refusal = MessageRefusal(*m_building->settings, request.message))
        return R::Fail(*refusal);
    const QDateTime now = Now();
    QDateTime until;
    if (request.forSeconds)
        until = now.addSecs(*request.forSeconds);
    else
        until = request.until.toUTC();
    if (!until.isValid() || until <= now)
        return R::Fail(QStringLiteral("the notice would end before it starts"));
    schedule::Notice notice;
    notice.id = std::to_string(m_state.nextNotice++);
    notice.signs = *signs;
    notice.message = request.message.toStdString();
    notice.from = ToInstant(now);
    notice.until = ToInstant(until);
    notice.order = m_state.nextNotice;
    m_state.notices.push_back(notice);
    Log(QStringLiteral("notice %1 for %2 until %3: \"%4\"")
            .arg(Q(notice.id), request.signs, IsoText(notice.until), request.message));
    Replanned(notice.signs, QStringLiteral("notice"));
    return Q(notice.id);
}

void Service::Replanned(const std::vector<std::string>& names, const QString& kind) {
    for (const std::string& name : names) {
        const int index = m_building->IndexOf(Q(name));
        if (index < 0) continue;
        const schedule::Holding before = m_planned[static_cast<std::size_t>(index)].now;
        Replan(index);
        if (!(m_planned[static_cast<std::size_t>(index)].now == before)) Enqueue(index, kind);
        Changed(Q(name));
    }
    Save();
    Arm();
}

QJsonArray Service::Notices() const {
    QJsonArray notices;
    for (const schedule::Notice& notice : m_state.notices) notices.append(ToJson(notice));
    return notices;
}

bool Service::CancelNotice(const QString& id) {
    const auto at = std::find_if(m_state.notices.begin(), m_state.notices.end(),
                                 [&](const schedule::Notice& n) { return Q(n.id) == id; });
    if (at == m_state.notices.end()) return false;
    const std::vector<std::string> signs = at->signs;
    m_state.notices.erase(at);
    Log(QStringLiteral("notice %1 ended early").arg(id));
    Replanned(signs, QStringLiteral("change"));
    return true;
}

QJsonObject Service::SyncNow() {
    int queued = 0;
    for (std::size_t i = 0; i < m_planned.size() && !m_stopping; ++i) {
        if (m_planned[i].now.message.empty()) continue;
        Enqueue(static_cast<int>(i), QStringLiteral("sync"));
        ++queued;
    }
    Arm();  // a sign whose Transfer could not even be built has a retry to wait for
    return QJsonObject{{QStringLiteral("queued"), queued}};
}

QString Service::Metrics() const {
    auto label = [](const QString& name) {
        QString escaped = name;
        escaped.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'"', QStringLiteral("\\\""))
            .replace(u'\n', QStringLiteral("\\n"));
        return QStringLiteral("{sign=\"%1\"}").arg(escaped);
    };
    const Instant now = ToInstant(Now());
    QString age = QStringLiteral(
        "# HELP meridial_sign_last_ack_age_seconds Seconds since the sign last acknowledged a "
        "Transfer.\n# TYPE meridial_sign_last_ack_age_seconds gauge\n");
    QString failures = QStringLiteral(
        "# HELP meridial_sign_failures_total Transfers the sign did not acknowledge.\n"
        "# TYPE meridial_sign_failures_total counter\n");
    QString failing = QStringLiteral(
        "# HELP meridial_sign_failing 1 while the sign's last Transfer is not acknowledged.\n"
        "# TYPE meridial_sign_failing gauge\n");
    for (const BuildingSign& sign : m_building->signs) {
        const auto known = m_state.signs.find(sign.sign.name);
        const SignState state = known == m_state.signs.end() ? SignState{} : known->second;
        const QString l = label(sign.sign.name);
        if (state.lastAcknowledged)
            age += QStringLiteral("meridial_sign_last_ack_age_seconds%1 %2\n")
                       .arg(l)
                       .arg((now - *state.lastAcknowledged).count());
        failures +=
            QStringLiteral("meridial_sign_failures_total%1 %2\n").arg(l).arg(state.failuresTotal);
        failing += QStringLiteral("meridial_sign_failing%1 %2\n").arg(l).arg(state.failures > 0);
    }
    return age + failures + failing;
}

}  // namespace meridial::daemon
