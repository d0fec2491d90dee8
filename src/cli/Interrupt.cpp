#include "Interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace cli::interrupt {

namespace {

std::atomic<int> g_count{0};
std::atomic<int> g_stage{int(Stage::NothingSent)};
std::atomic<bool> g_json{false};

// Written by the handler with write(2), so plain constant text only.
const char *const kHumanLines[] = {
    "\nkelvora-camera-cli: interrupted again, ending now\n",
    "\nkelvora-camera-cli: interrupted again, ending now. The camera is left in upgrade mode; "
    "running the same command again starts the upload over.\n",
    "\nkelvora-camera-cli: interrupted again, ending now. The camera is still writing its firmware: "
    "do not unplug it until it is back in normal mode.\n",
};
const char *const kJsonLines[] = {
    "{\"error\":{\"exit_code\":130,\"kind\":\"interrupted\",\"reason\":\"second-interrupt\","
    "\"message\":\"interrupted again, ending now\"}}\n",
    "{\"error\":{\"exit_code\":130,\"kind\":\"interrupted\",\"reason\":\"second-interrupt\","
    "\"message\":\"interrupted again, ending now; the camera is left in upgrade mode, and running the "
    "same command again starts the upload over\"}}\n",
    "{\"error\":{\"exit_code\":130,\"kind\":\"interrupted\",\"reason\":\"second-interrupt\","
    "\"message\":\"interrupted again, ending now; the camera is still writing its firmware: do not "
    "unplug it until it is back in normal mode\"}}\n",
};

void onSignal(int)
{
    if (g_count.fetch_add(1) == 0)
        return;
    const int stage = g_stage.load();
    const char *line = (g_json.load() ? kJsonLines : kHumanLines)[stage];
    const ssize_t ignored = ::write(STDERR_FILENO, line, std::strlen(line));
    (void)ignored;
    ::_exit(130);
}

} // namespace

void install(bool json)
{
    g_json = json;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait that the signal cuts short returns, and the
    // command looks at the count sooner.
    sigaction(SIGINT, &action, nullptr);
}

void uninstall()
{
    std::signal(SIGINT, SIG_DFL);
}

int count()
{
    return g_count.load(std::memory_order_relaxed);
}

void reset()
{
    g_count = 0;
    g_stage = int(Stage::NothingSent);
}

void setStage(Stage stage)
{
    g_stage = int(stage);
}

} // namespace cli::interrupt
