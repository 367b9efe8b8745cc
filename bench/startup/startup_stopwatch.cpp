// startup_stopwatch RUNS PROGRAM [ARGS...] -- BASELINE [ARGS...]: starts the program and the
// baseline in turn, RUNS times each, on the X display in DISPLAY with no other client showing
// windows. Each start is timed from fork to the map of its first window; the window is then closed
// as a window manager would close it, and the peak memory of the process is read once it has
// ended. Prints the medians and quartiles of both, and the program's medians against the baseline's.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Start {
    double milliseconds;
    double megabytes;
};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "startup_stopwatch: %s\n", what);
    std::exit(1);
}

xcb_atom_t atom(xcb_connection_t* x, const char* name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    if (!reply)
        fail("cannot name an X atom");
    const xcb_atom_t found = reply->atom;
    std::free(reply);
    return found;
}

// The next window mapped on the screen, or none within the time given.
xcb_window_t nextMappedWindow(xcb_connection_t* x, Clock::time_point deadline)
{
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            std::free(event);
            if (mapped)
                return window;
        }
        pollfd connection{xcb_get_file_descriptor(x), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        poll(&connection, 1, int(std::max<long long>(1, left.count())));
    }
    return XCB_WINDOW_NONE;
}

void askToClose(xcb_connection_t* x, xcb_window_t window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(x, "WM_PROTOCOLS");
    message.data.data32[0] = atom(x, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(x);
}

Start timeStart(xcb_connection_t* x, char** command)
{
    const Clock::time_point started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    const xcb_window_t window = nextMappedWindow(x, started + std::chrono::seconds(20));
    const Clock::time_point mapped = Clock::now();
    if (window == XCB_WINDOW_NONE) {
        kill(child, SIGKILL);
        fail("a window did not appear within 20 s");
    }
    // Long enough to draw the window and settle, the same for both.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    askToClose(x, window);
    int status = 0;
    rusage usage{};
    for (int waited = 0; wait4(child, &status, WNOHANG, &usage) == 0; ++waited) {
        if (waited == 5000)
            kill(child, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {std::chrono::duration<double, std::milli>(mapped - started).count(), usage.ru_maxrss / 1024.0};
}

// The value below which the given share of the sorted values lies, between neighbours.
double quantile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const double place = share * double(values.size() - 1);
    const auto below = std::size_t(place);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (place - double(below)) * (values[above] - values[below]);
}

struct Summary {
    double median, lower, upper;
};

Summary summarise(const std::vector<Start>& starts, double Start::*measure)
{
    std::vector<double> values;
    for (const Start& start : starts)
        values.push_back(start.*measure);
    return {quantile(values, 0.5), quantile(values, 0.25), quantile(values, 0.75)};
}

void print(const char* name, const std::vector<Start>& starts)
{
    const Summary time = summarise(starts, &Start::milliseconds);
    const Summary memory = summarise(starts, &Start::megabytes);
    std::printf("%-10s mapped after %6.1f ms (quartiles %.1f-%.1f), peak memory %5.1f MB (quartiles %.1f-%.1f)\n", name,
        time.median, time.lower, time.upper, memory.median, memory.lower, memory.upper);
}

} // namespace

int main(int argc, char* argv[])
{
    char** separator = std::find(argv, argv + argc, std::string("--"));
    if (argc < 5 || separator == argv + argc || separator == argv + 2 || separator == argv + argc - 1) {
        std::fprintf(stderr, "usage: startup_stopwatch RUNS PROGRAM [ARGS...] -- BASELINE [ARGS...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    *separator = nullptr;
    char** program = argv + 2;
    char** baseline = separator + 1;

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x))
        fail("cannot open the display in DISPLAY");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const std::uint32_t watch = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &watch);
    xcb_flush(x);

    std::vector<Start> programStarts, baselineStarts;
    for (int run = 0; run < runs; ++run) {
        programStarts.push_back(timeStart(x, program));
        baselineStarts.push_back(timeStart(x, baseline));
    }
    print("program", programStarts);
    print("baseline", baselineStarts);
    const double time = summarise(programStarts, &Start::milliseconds).median
        / summarise(baselineStarts, &Start::milliseconds).median;
    const double memory
        = summarise(programStarts, &Start::megabytes).median / summarise(baselineStarts, &Start::megabytes).median;
    std::printf(
        "ratio      time to the window mapped %.2f, peak memory %.2f (medians, %d runs each)\n", time, memory, runs);
    xcb_disconnect(x);
}
