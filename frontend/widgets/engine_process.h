// One run of the engine as a child process: started with an argument list
// (no shell), the last lines of its standard output kept, its end reported
// once whether it could not start, failed, crashed or finished.  The run is
// asynchronous.
#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

#include "frontend/shell.h"

class QProcess;

namespace orv::frontend {

// The front end's environment with the engine told to show its window.
QProcessEnvironment engine_environment(const QProcessEnvironment& base);

class EngineProcess : public QObject {
    Q_OBJECT
public:
    explicit EngineProcess(QObject* parent = nullptr);
    ~EngineProcess() override;

    bool running() const { return process_ != nullptr; }
    void start(const QString& program, const QStringList& arguments, const QString& working_directory,
               const QProcessEnvironment& environment);

signals:
    void ended(const orv::frontend::EngineEnd& end);

private:
    void finish(EngineEnd end);

    QProcess* process_ = nullptr;
    OutputTail tail_;
};

}  // namespace orv::frontend
