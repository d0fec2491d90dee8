#include "Interrupt.h"

#include <atomic>
#include <csignal>

#include <unistd.h>

namespace cli::interrupt {

namespace {

// Everything the handler says about a signal, as constant text: it may not
// format a number or build a string.
struct StopSignal
{
    int signal;
    Exit exit;
    const char *codeText;   // the exit code, written out
    const char *keyword;    // as in the exit-code table
    const char *word;       // a message starts with it
    const char *again;      // the second signal's message starts with it
    const char *name;
};

const StopSignal kStopSignals[] = {
    {SIGINT, Exit::Interrupted, "130", "interrupted", "interrupted", "interrupted again", ""},
    {SIGTERM, Exit::Terminated, "143", "terminated", "stopped by SIGTERM", "stopped again by SIGTERM", "SIGTERM"},
    {SIGHUP, Exit::HungUp, "129", "hangup", "stopped by SIGHUP", "stopped again by SIGHUP", "SIGHUP"},
};
constexpr int kStopSignalCount = int(sizeof kStopSignals / sizeof kStopSignals[0]);

// What the tool does with a write to a reader that went away: nothing. The
// write fails with EPIPE and the output says so.
constexpr int kIgnoredSignal = SIGPIPE;

// Indexed by Stage: what the second signal adds about the camera.
const char *const kHumanTails[] = {
    "",
    ". The camera is left in upgrade mode; running the same command again starts the upload over.",
    ". The camera is still writing its firmware: do not unplug it until it is back in normal mode.",
};
const char *const kJsonTails[] = {
    "",
    "; the camera is left in upgrade mode, and running the same command again starts the upload over",
    "; the camera is still writing its firmware: do not unplug it until it is back in normal mode",
};

std::atomic<int> g_count{0};
std::atomic<int> g_first{-1};      // index into kStopSignals of the first signal
std::atomic<int> g_stage{int(Stage::NothingSent)};
std::atomic<bool> g_json{false};
std::atomic<int> g_endCode{0};     // set when a second signal left the end to the command's flow
std::atomic<void (*)()> g_tidy{nullptr};   // endAtNextLook()

struct sigaction g_previous[kStopSignalCount + 1];

int indexOf(int signal)
{
    for (int i = 0; i < kStopSignalCount; ++i) {
        if (kStopSignals[i].signal == signal)
            return i;
    }
    return 0;
}

const StopSignal &first()
{
    const int index = g_first.load();
    return kStopSignals[index < 0 ? 0 : index];
}

// A bounded copy that the handler may use: no library call.
void append(char *line, int &length, int capacity, const char *text)
{
    while (*text && length < capacity)
        line[length++] = *text++;
}

void onSignal(int signal)
{
    const int index = indexOf(signal);
    int expected = -1;
    g_first.compare_exchange_strong(expected, index);
    if (g_count.fetch_add(1) == 0)
        return;

    const StopSignal &stop = kStopSignals[index];
    const int stage = g_stage.load();
    char line[512];
    int length = 0;
    const int capacity = int(sizeof line);
    if (g_json.load()) {
        append(line, length, capacity, "{\"error\":{\"exit_code\":");
        append(line, length, capacity, stop.codeText);
        append(line, length, capacity, ",\"kind\":\"");
        append(line, length, capacity, stop.keyword);
        append(line, length, capacity, "\",\"reason\":\"second-interrupt\",\"message\":\"");
        append(line, length, capacity, stop.again);
        append(line, length, capacity, ", ending now");
        append(line, length, capacity, kJsonTails[stage]);
        append(line, length, capacity, "\"}}\n");
    } else {
        append(line, length, capacity, "\nkelvora-camera-cli: ");
        append(line, length, capacity, stop.again);
        append(line, length, capacity, ", ending now");
        append(line, length, capacity, kHumanTails[stage]);
        append(line, length, capacity, "\n");
    }
    const ssize_t ignored = ::write(STDERR_FILENO, line, size_t(length));
    (void)ignored;
    if (g_tidy.load()) {
        g_endCode = int(stop.exit);
        return;
    }
    ::_exit(int(stop.exit));
}

} // namespace

void install(bool json)
{
    g_json = json;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The three block one another, so that the handler never runs twice at once.
    for (const StopSignal &stop : kStopSignals)
        sigaddset(&action.sa_mask, stop.signal);
    // Restarting keeps a write to a slow pipe or a hidraw node from failing
    // because a signal came. The waits for the camera are cut short anyway
    // (poll(2) never restarts), and see to it themselves.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i].signal, &action, &g_previous[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(kIgnoredSignal, &ignore, &g_previous[kStopSignalCount]);
}

void uninstall()
{
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i].signal, &g_previous[i], nullptr);
    sigaction(kIgnoredSignal, &g_previous[kStopSignalCount], nullptr);
}

int count()
{
    return g_count.load(std::memory_order_relaxed);
}

void reset()
{
    g_count = 0;
    g_first = -1;
    g_stage = int(Stage::NothingSent);
    g_endCode = 0;
}

Exit stopExit()
{
    return first().exit;
}

const char *stopWord()
{
    return first().word;
}

const char *againWord()
{
    return g_first.load() <= 0 ? "Ctrl-C again" : "a second signal";
}

const char *signalName()
{
    return first().name;
}

void setStage(Stage stage)
{
    g_stage = int(stage);
}

void endAtNextLook(void (*tidy)())
{
    g_tidy = tidy;
}

void endIfAsked()
{
    const int code = g_endCode.load();
    if (code == 0)
        return;
    if (void (*tidy)() = g_tidy.load())
        tidy();
    ::_exit(code);
}

} // namespace cli::interrupt
