// vantor-sim: the virtual controller as a program. It prints the device to
// open on its first line and serves it until SIGTERM or SIGINT.

#include "command_line.h"
#include "replay.h"
#include "virtual_controller.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>

namespace {

void print_statistics(Sim::Virtual_Controller& controller, bool reset)
{
    const std::string text = Sim::Line_Statistics::text(controller.line_statistics().take(reset));
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Waits for SIGTERM or SIGINT; hangs the line up first if that was asked for.
// SIGUSR1 prints the line's statistics and starts them over.
void serve_until_stopped(const sigset_t& stop_signals, const Sim::Command_Line& options,
                         Sim::Virtual_Controller& controller)
{
    if (options.hang_up_after) {
        const long long ms = options.hang_up_after->count();
        const timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
        // An interruption restarts the whole wait; only a stray signal
        // outside the set could cause one.
        int taken;
        do {
            taken = sigtimedwait(&stop_signals, nullptr, &wait);
            if (taken == SIGUSR1)
                print_statistics(controller, true);
        } while ((taken < 0 && errno == EINTR) || taken == SIGUSR1);
        if (taken > 0)
            return;
        controller.hang_up();
    }
    for (;;) {
        int taken = 0;
        const int result = sigwait(&stop_signals, &taken);
        if (result != 0)
            std::fprintf(stderr, "vantor-sim: sigwait: %s\n", std::strerror(result));
        if (result != 0 || taken != SIGUSR1)
            return;
        print_statistics(controller, true);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Sim::Command_Line options;
    std::string error;
    if (!Sim::parse_command_line(argc, argv, &options, &error)) {
        std::fprintf(stderr, "vantor-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(Sim::usage_text("vantor-sim").c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("vantor-sim " VANTOR_VERSION);
        return 0;
    }

    std::shared_ptr<const Sim::Replay> replay;
    if (!options.replay.empty() && !(replay = Sim::Replay::load(options.replay, &error))) {
        std::fprintf(stderr, "vantor-sim: %s\n", error.c_str());
        return 2;
    }

    // Whoever reads the first line may close the pipe; the program goes on.
    if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
        std::perror("vantor-sim: signal");
        return 1;
    }
    // Blocked before the serving thread starts, which inherits the mask, so
    // that only sigwait below takes them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    if (options.stats)
        sigaddset(&stop_signals, SIGUSR1);
    const int blocked = pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    if (blocked != 0) {
        std::fprintf(stderr, "vantor-sim: pthread_sigmask: %s\n", std::strerror(blocked));
        return 1;
    }

    Sim::Virtual_Controller controller;
    controller.set_settings(options.settings);
    for (int group = 1; group <= 3; ++group)
        controller.set_fault_flags(group, options.fault_flags[static_cast<std::size_t>(group - 1)]);
    controller.set_compressor_enabled(options.compressor);
    controller.set_plant_faults(options.plant_faults);
    controller.set_replay(replay, options.replay_speed);
    if (!controller.start(&error)) {
        std::fprintf(stderr, "vantor-sim: %s\n", error.c_str());
        return 1;
    }
    if (std::printf("%s\n", controller.device_path().c_str()) < 0 || std::fflush(stdout) != 0) {
        std::perror("vantor-sim: cannot print the device");
        return 1;
    }

    serve_until_stopped(stop_signals, options, controller);
    controller.stop();
    if (options.stats)
        print_statistics(controller, false);
    return 0;
}
