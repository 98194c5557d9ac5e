// Times a program from its launch to its first window on the screen, without polling: it
// listens on the root window for the MapNotify of a new top-level window (a window manager's
// frame, or the window itself where there is none), then ends the program with every process
// it started (the web page viewer's engine helpers too), so the next run starts on a quiet
// machine.
//   lumivista-map-wait PROGRAM [ARGS...]   prints the milliseconds; exits 1 on a timeout (10 s)
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char* argv[]) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* x = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(x)) {
        fprintf(stderr, "cannot reach the X server\n");
        return 2;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    // The selection must be in force before the program starts.
    free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), NULL));

    // The program's own helpers become ours when it ends, so their end can be waited for.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const double start = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0); // a group of its own, ended as a whole
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    setpgid(child, child);
    int status = 1;
    struct pollfd wait = {xcb_get_file_descriptor(x), POLLIN, 0};
    while (nowMs() - start < 10000) {
        xcb_generic_event_t* event;
        while ((event = xcb_poll_for_event(x)) != NULL) {
            const int type = event->response_type & 0x7f;
            free(event);
            if (type == XCB_MAP_NOTIFY) {
                printf("%.1f\n", nowMs() - start);
                status = 0;
                goto done;
            }
        }
        if (xcb_connection_has_error(x))
            break;
        poll(&wait, 1, 100);
    }
done:
    kill(-child, SIGTERM);
    // Helpers end when they notice their parent gone; those left after 5 s are killed.
    const double ended = nowMs();
    int killed = 0;
    while ((waitpid(-1, NULL, WNOHANG) >= 0 || errno != ECHILD) && nowMs() - ended < 6000) {
        if (!killed && nowMs() - ended > 5000) {
            kill(-child, SIGKILL);
            killed = 1;
        }
        usleep(10000);
    }
    xcb_disconnect(x);
    return status;
}
