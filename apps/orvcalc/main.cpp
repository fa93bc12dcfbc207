// orvcalc: the analysis engine, run in a terminal host.
#include <string>
#include <vector>

#include "engine/control/orvcalc.h"
#include "runtime/host.h"
#include "runtime/program.h"
#include "runtime/stop_signals.h"
#include "runtime/terminal_host.h"

int main(int argc, char** argv) {
    // First, before any thread starts: SIGINT and SIGTERM end the run with
    // every file written up to where it stopped.
    orv::rt::StopSignals stop_signals;
    orv::rt::TerminalHost host(std::vector<std::string>(argv + 1, argv + argc));
    orv::rt::set_host(&host);
    int status = orv::rt::run_program(orv::engine::ORVCALC);
    orv::rt::set_host(nullptr);
    return status;
}
