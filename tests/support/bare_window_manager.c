/* A bare window manager for the test display (Xvfb): it maps every window
 * that asks to be mapped, where and as large as the window asks, and keeps the
 * window's WM_STATE property (ICCCM 4.1.3.1) up to date.  It draws no frame,
 * moves and stacks nothing by itself, never sets the input focus and
 * announces nothing else about itself.
 *
 * Why: Wine hides a managed window only once a window manager has taken it
 * (WM_STATE set), and waits for that up to 2 s.  With no window manager every
 * window that closes costs those 2 s.  With this one the wait ends at once,
 * and the windows are placed exactly as they are without a window manager:
 * the X window of a managed window is its client area, at the place Wine
 * gives it, and the X focus stays where xdotool puts it.
 *
 *   bare_window_manager        (on $DISPLAY)
 *
 * Returns once it is the display's window manager (exit 0), and goes on in
 * the background until the display closes.  Exit 1 when the display cannot
 * be opened or another window manager runs there.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

/* WM_STATE's state field (ICCCM 4.1.3.1); withdrawn is no property at all. */
enum { NORMAL_STATE = 1 };

static int another_manager;

static int note_another_manager(Display* display, XErrorEvent* error)
{
    (void)display;
    if (error->error_code == BadAccess)
        another_manager = 1;
    return 0;
}

/* Once running, errors are about windows that went away between their
 * request and this answer: nothing to do about them. */
static int ignore_error(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

static void set_wm_state(Display* display, Window window, Atom wm_state, long state)
{
    long value[2] = {state, None};
    XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace,
                    (unsigned char*)value, 2);
}

static void keep_windows(Display* display, Atom wm_state)
{
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case MapRequest:
            set_wm_state(display, event.xmaprequest.window, wm_state, NORMAL_STATE);
            XMapWindow(display, event.xmaprequest.window);
            break;
        case ConfigureRequest: {
            XConfigureRequestEvent* request = &event.xconfigurerequest;
            XWindowChanges changes;
            changes.x = request->x;
            changes.y = request->y;
            changes.width = request->width;
            changes.height = request->height;
            changes.border_width = request->border_width;
            changes.sibling = request->above;
            changes.stack_mode = request->detail;
            XConfigureWindow(display, request->window, (unsigned)request->value_mask, &changes);
            break;
        }
        case UnmapNotify:
            /* Withdrawn, as ICCCM 4.1.4 has it: Wine withdraws with an unmap
             * and a synthetic UnmapNotify, which both come here. */
            XDeleteProperty(display, event.xunmap.window, wm_state);
            break;
        default:
            break;
        }
        XFlush(display);
    }
}

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "bare_window_manager: cannot open the display %s\n",
                getenv("DISPLAY") ? getenv("DISPLAY") : "(DISPLAY not set)");
        return 1;
    }
    /* Only one client may redirect the root window's children: that is
     * what makes a window manager. */
    XSetErrorHandler(note_another_manager);
    XSelectInput(display, DefaultRootWindow(display),
                 SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display, False);
    if (another_manager) {
        fprintf(stderr, "bare_window_manager: another window manager runs on %s\n",
                DisplayString(display));
        return 1;
    }
    XSetErrorHandler(ignore_error);
    Atom wm_state = XInternAtom(display, "WM_STATE", False);
    XSync(display, False);

    /* The parent returns to its caller, who then knows the manager is in
     * place; the child alone uses the connection from here on, and ends
     * when the display does (Xlib's I/O error exit). */
    pid_t child = fork();
    if (child < 0) {
        perror("bare_window_manager: fork");
        return 1;
    }
    if (child > 0)
        _exit(0);
    freopen("/dev/null", "r", stdin);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    keep_windows(display, wm_state);
    return 0;
}
