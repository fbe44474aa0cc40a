/* Drives a program's window on an X server from outside, as a person would:
 *   xwin wait  TITLE      waits until a window with that title exists
 *   xwin away  TITLE      gives the keyboard focus to another window
 *   xwin back  TITLE      gives the focus back to the window
 *   xwin close TITLE      asks the window to close (the title bar's close button) */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static Window find(Display* d, Window w, const char* title)
{
    char* name = NULL;
    if (XFetchName(d, w, &name) && name) {
        int same = strcmp(name, title) == 0;
        XFree(name);
        if (same)
            return w;
    }
    Window root, parent, *children = NULL;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; i++)
            found = find(d, children[i], title);
        if (children)
            XFree(children);
    }
    return found;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    Display* d = XOpenDisplay(NULL);
    if (!d)
        return 2;
    Window w = 0;
    for (int i = 0; i < 100 && !w; i++) {
        w = find(d, DefaultRootWindow(d), argv[2]);
        if (!w)
            usleep(100000);
    }
    if (!w)
        return 1;
    if (!strcmp(argv[1], "away")) {
        Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        XMapWindow(d, other);
        XSync(d, False);
        usleep(100000);
        XSetInputFocus(d, other, RevertToParent, CurrentTime);
        XSync(d, False);
        /* Keep the other window alive, or the focus falls back. */
        pause();
    } else if (!strcmp(argv[1], "back")) {
        XSetInputFocus(d, w, RevertToParent, CurrentTime);
    } else if (!strcmp(argv[1], "close")) {
        XEvent e;
        memset(&e, 0, sizeof e);
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &e);
    }
    XSync(d, False);
    XCloseDisplay(d);
    return 0;
}
