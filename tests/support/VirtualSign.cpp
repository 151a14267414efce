#include "support/VirtualSign.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QThread>

namespace meridial::testing {

VirtualSign::VirtualSign(const QStringList& extraArgs) {
    QStringList args{QStringLiteral("--log"), m_dir.filePath(QStringLiteral("frames.jsonl")),
                     QStringLiteral("--link"), LinkPath()};
    args += extraArgs;
    m_process.start(QStringLiteral(MERIDIAL_SIGN_PATH), args);
    if (!m_process.waitForStarted(5000)) return;
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < 5000) m_process.waitForReadyRead(100);
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

VirtualSign::~VirtualSign() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QVector<QJsonObject> VirtualSign::Frames(int count, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QVector<QJsonObject> frames;
    do {
        frames.clear();
        QFile log(m_dir.filePath(QStringLiteral("frames.jsonl")));
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray& line : log.readAll().split('\n'))
                if (!line.isEmpty()) frames.push_back(QJsonDocument::fromJson(line).object());
        if (frames.size() >= count) break;
        QThread::msleep(20);
    } while (clock.elapsed() < timeoutMs);
    return frames;
}

QByteArray VirtualSign::Output() {
    m_process.waitForReadyRead(50);
    return m_process.readAllStandardOutput();
}

void VirtualSign::Kill() {
    m_process.kill();
    m_process.waitForFinished(3000);
}

CliRun RunCli(const QStringList& args, const QByteArray& input, const QMap<QString, QString>& env) {
    return RunProgram(QStringLiteral(MERIDIAL_CLI_PATH), args, input, env);
}

CliRun RunProgram(const QString& program, const QStringList& args, const QByteArray& input,
                  const QMap<QString, QString>& env) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Tests never read or write the settings file of the machine they run on.
    environment.insert(QStringLiteral("MERIDIAL_SETTINGS"),
                       QStringLiteral("/nonexistent/meridial.INI"));
    for (auto it = env.begin(); it != env.end(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    process.waitForStarted(5000);
    if (!input.isNull()) process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    CliRun run;
    run.elapsedMs = clock.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

}  // namespace meridial::testing
