#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace meridial::testing {

// A meridial-sign process on its own pseudo-terminal, logging every frame it decodes.
class VirtualSign {
public:
    explicit VirtualSign(const QStringList& extraArgs = {});
    ~VirtualSign();

    bool ok() const { return !m_device.isEmpty(); }
    const QString& Device() const { return m_device; }
    QString LinkPath() const { return m_dir.filePath(QStringLiteral("sign")); }

    // The frames logged so far, waiting up to the time for at least `count`.
    QVector<QJsonObject> Frames(int count = 0, int timeoutMs = 3000);
    QByteArray Output();
    void Kill();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_device;
};

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;
};

CliRun RunCli(const QStringList& args, const QByteArray& input = {},
              const QMap<QString, QString>& env = {});

// Any of the programs; environment variables given an empty value are removed.
CliRun RunProgram(const QString& program, const QStringList& args, const QByteArray& input = {},
                  const QMap<QString, QString>& env = {});

}  // namespace meridial::testing
