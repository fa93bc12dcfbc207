#include "frontend/widgets/engine_process.h"

#include <QProcess>

#include "frontend/widgets/look.h"

namespace orv::frontend {

QProcessEnvironment engine_environment(const QProcessEnvironment& base) {
    QProcessEnvironment env = base;
    env.insert(kEngineHostVariable, kEngineHostWindow);
    return env;
}

EngineProcess::EngineProcess(QObject* parent) : QObject(parent) {}

// Destroyed during a run (the front end ending while the engine runs), it
// waits for the engine to end, however long that takes: the run finishes its
// report, and no engine is left running without the front end.
EngineProcess::~EngineProcess() {
    if (process_) {
        process_->disconnect(this);
        process_->waitForFinished(-1);
    }
}

void EngineProcess::start(const QString& program, const QStringList& arguments, const QString& working_directory,
                          const QProcessEnvironment& environment) {
    if (process_) return;
    tail_ = OutputTail{};
    process_ = new QProcess(this);
    process_->setProgram(program);
    process_->setArguments(arguments);
    process_->setWorkingDirectory(working_directory);
    process_->setProcessEnvironment(environment);
    // Its records come on standard output; what goes to standard error (the
    // diagnostics of the libraries it uses) passes on to ours.
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray bytes = process_->readAllStandardOutput();
        tail_.append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finish({false, ss(process_->errorString()), false, 0, "", ""});
    });
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QByteArray rest = process_->readAllStandardOutput();
        tail_.append(std::string_view(rest.constData(), static_cast<std::size_t>(rest.size())));
        finish({true, "", status == QProcess::CrashExit, code, tail_.last_message(), tail_.last_fatal()});
    });
    QProcess* p = process_;
    p->start();
    // The engine reads nothing from us: a pause on a closed input does not
    // wait.  (A start that failed has already ended the run.)
    if (process_ == p) p->closeWriteChannel();
}

void EngineProcess::finish(EngineEnd end) {
    QProcess* p = process_;
    process_ = nullptr;
    p->deleteLater();
    emit ended(end);
}

}  // namespace orv::frontend
