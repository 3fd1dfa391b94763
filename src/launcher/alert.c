#include "alert.h"

#include "dynamic.h"
#include "latin1.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <string.h>

/* The libX11 calls the alert makes, looked up in the library found at run time. */
/* clang-format off */
#define QBY_X11_CALLS(X)                                                                           \
    X(XOpenDisplay) X(XCloseDisplay) X(XDefaultScreen) X(XRootWindow) X(XDisplayWidth)             \
    X(XDisplayHeight) X(XDefaultColormap) X(XAllocColor) X(XCreateSimpleWindow) X(XStoreName)      \
    X(XChangeProperty) X(XInternAtom) X(XSetWMProtocols) X(XSetWMNormalHints) X(XSelectInput)      \
    X(XMapRaised) X(XNextEvent) X(XLoadQueryFont) X(XFreeFont) X(XTextWidth) X(XCreateGC)          \
    X(XFreeGC) X(XSetForeground) X(XSetFont) X(XFillRectangle) X(XDrawRectangle) X(XDrawString)    \
    X(XLookupKeysym) X(XDestroyWindow) X(XFlush)
/* clang-format on */

struct x11 {
#define QBY_X11_FIELD(name) __typeof__(name)* name;
    QBY_X11_CALLS(QBY_X11_FIELD)
#undef QBY_X11_FIELD
};

static int load_x11(struct x11* x) {
    void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!library) return 0;
#define QBY_X11_LOAD(name) \
    if (!(*(void**)& x->name = dlsym(library, #name))) return 0;
    QBY_X11_CALLS(QBY_X11_LOAD)
#undef QBY_X11_LOAD
    return 1;
}

enum { WIDTH = 460, MARGIN = 20, GAP = 12, MAX_LINES = 16, TEXT_SIZE = 1024 };

struct button {
    char label[64];
    int x, y, width, height;
    enum qby_alert_response response;
};

struct alert {
    struct x11* x;
    Display* display;
    Window window;
    GC gc;
    XFontStruct *title_font, *body_font;
    unsigned long background, text, accent, white;
    char title[TEXT_SIZE], message[TEXT_SIZE];
    /* Each line is a start and a length within title or message. */
    const char* line_start[MAX_LINES];
    int line_length[MAX_LINES];
    int title_lines, lines;
    struct button buttons[2];
    int height;
};

/* The first of the core fonts that the server has; "fixed" is built into every X server. */
static XFontStruct* load_font(struct alert* a, const char* const* names) {
    for (; *names; ++names) {
        XFontStruct* font = a->x->XLoadQueryFont(a->display, *names);
        if (font) return font;
    }
    return a->x->XLoadQueryFont(a->display, "fixed");
}

static int line_height(const XFontStruct* font) {
    return font->ascent + font->descent + 2;
}

/* Breaks `text` into lines at spaces so that each fits `width`; a word wider than the line
 * stands alone. Returns the number of lines added. */
static int wrap(struct alert* a, const char* text, XFontStruct* font, int width) {
    int added = 0;
    while (*text && a->lines < MAX_LINES) {
        int length = 0, fits = 0;
        while (text[length]) {
            int end = length;
            while (text[end] && text[end] != ' ') ++end;
            if (fits > 0 && a->x->XTextWidth(font, text, end) > width) break;
            fits = end;
            length = end;
            if (text[length] == ' ') ++length;
        }
        a->line_start[a->lines] = text;
        a->line_length[a->lines] = fits;
        ++a->lines;
        ++added;
        text += length;
        while (*text == ' ') ++text;
    }
    return added;
}

static unsigned long color(struct alert* a, unsigned short r, unsigned short g, unsigned short b,
                           unsigned long fallback) {
    XColor c = {.red = r, .green = g, .blue = b, .flags = DoRed | DoGreen | DoBlue};
    int screen = a->x->XDefaultScreen(a->display);
    if (!a->x->XAllocColor(a->display, a->x->XDefaultColormap(a->display, screen), &c))
        return fallback;
    return c.pixel;
}

static void layout(struct alert* a, const struct qby_too_old_texts* texts) {
    qby_utf8_to_latin1(texts->title, a->title, sizeof a->title);
    qby_utf8_to_latin1(texts->message, a->message, sizeof a->message);
    a->title_lines = wrap(a, a->title, a->title_font, WIDTH - 2 * MARGIN);
    wrap(a, a->message, a->body_font, WIDTH - 2 * MARGIN);
    int y = MARGIN + a->title_lines * line_height(a->title_font) + GAP +
            (a->lines - a->title_lines) * line_height(a->body_font) + GAP;
    /* "Support" at the right, the default; "Quit" to its left. */
    const char* labels[2] = {texts->support, texts->quit};
    int right = WIDTH - MARGIN;
    for (int i = 0; i < 2; ++i) {
        struct button* b = &a->buttons[i];
        qby_utf8_to_latin1(labels[i], b->label, sizeof b->label);
        int text_width = a->x->XTextWidth(a->body_font, b->label, (int)strlen(b->label));
        b->width = text_width + 32 > 88 ? text_width + 32 : 88;
        b->height = line_height(a->body_font) + 12;
        b->x = right - b->width;
        b->y = y;
        b->response = i == 0 ? QBY_ALERT_FIRST_BUTTON : QBY_ALERT_SECOND_BUTTON;
        right = b->x - GAP;
    }
    a->height = y + a->buttons[0].height + MARGIN;
}

static void draw(struct alert* a) {
    struct x11* x = a->x;
    x->XSetForeground(a->display, a->gc, a->background);
    x->XFillRectangle(a->display, a->window, a->gc, 0, 0, WIDTH, (unsigned)a->height);
    int y = MARGIN;
    for (int i = 0; i < a->lines; ++i) {
        XFontStruct* font = i < a->title_lines ? a->title_font : a->body_font;
        if (i == a->title_lines) y += GAP;
        x->XSetFont(a->display, a->gc, font->fid);
        x->XSetForeground(a->display, a->gc, a->text);
        x->XDrawString(a->display, a->window, a->gc, MARGIN, y + font->ascent, a->line_start[i],
                       a->line_length[i]);
        y += line_height(font);
    }
    x->XSetFont(a->display, a->gc, a->body_font->fid);
    for (int i = 0; i < 2; ++i) {
        const struct button* b = &a->buttons[i];
        int is_default = b->response == QBY_ALERT_FIRST_BUTTON;
        x->XSetForeground(a->display, a->gc, is_default ? a->accent : a->white);
        x->XFillRectangle(a->display, a->window, a->gc, b->x, b->y, (unsigned)b->width,
                          (unsigned)b->height);
        x->XSetForeground(a->display, a->gc, a->text);
        x->XDrawRectangle(a->display, a->window, a->gc, b->x, b->y, (unsigned)b->width - 1,
                          (unsigned)b->height - 1);
        int length = (int)strlen(b->label);
        int text_x = b->x + (b->width - x->XTextWidth(a->body_font, b->label, length)) / 2;
        int text_y = b->y + (b->height - line_height(a->body_font)) / 2 + a->body_font->ascent + 1;
        x->XSetForeground(a->display, a->gc, is_default ? a->white : a->text);
        x->XDrawString(a->display, a->window, a->gc, text_x, text_y, b->label, length);
    }
    x->XFlush(a->display);
}

static const struct button* button_at(const struct alert* a, int px, int py) {
    for (int i = 0; i < 2; ++i) {
        const struct button* b = &a->buttons[i];
        if (px >= b->x && px < b->x + b->width && py >= b->y && py < b->y + b->height) return b;
    }
    return NULL;
}

/* Names the window for the window manager and the desktop's task list: its title in UTF-8 and
 * Latin-1, a dialog of a fixed size. */
static void describe_window(struct alert* a, const char* utf8_title) {
    struct x11* x = a->x;
    x->XStoreName(a->display, a->window, a->title);
    x->XChangeProperty(a->display, a->window, x->XInternAtom(a->display, "_NET_WM_NAME", False),
                       x->XInternAtom(a->display, "UTF8_STRING", False), 8, PropModeReplace,
                       (const unsigned char*)utf8_title, (int)strlen(utf8_title));
    static const char class_hint[] = "QuillbayDownloader\0QuillbayDownloader";
    x->XChangeProperty(a->display, a->window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                       (const unsigned char*)class_hint, sizeof class_hint);
    Atom dialog = x->XInternAtom(a->display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    x->XChangeProperty(a->display, a->window,
                       x->XInternAtom(a->display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                       PropModeReplace, (const unsigned char*)&dialog, 1);
    XSizeHints hints = {.flags = PPosition | PMinSize | PMaxSize,
                        .min_width = WIDTH,
                        .max_width = WIDTH,
                        .min_height = a->height,
                        .max_height = a->height};
    x->XSetWMNormalHints(a->display, a->window, &hints);
}

static const char* const title_fonts[] = {"-*-helvetica-bold-r-normal--14-*-*-*-*-*-iso8859-1",
                                          "-*-dejavu sans-bold-r-normal--14-*-*-*-*-*-iso8859-1",
                                          "-misc-fixed-bold-r-normal--13-*-*-*-*-*-iso8859-1",
                                          NULL};
static const char* const body_fonts[] = {"-*-helvetica-medium-r-normal--12-*-*-*-*-*-iso8859-1",
                                         "-*-dejavu sans-medium-r-normal--12-*-*-*-*-*-iso8859-1",
                                         "-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso8859-1",
                                         NULL};

static enum qby_alert_response wait_for_answer(struct alert* a, Atom close_request) {
    const struct button* pressed = NULL;
    for (;;) {
        XEvent event;
        a->x->XNextEvent(a->display, &event);
        switch (event.type) {
            case Expose:
                if (event.xexpose.count == 0) draw(a);
                break;
            case ButtonPress:
                if (event.xbutton.button == Button1)
                    pressed = button_at(a, event.xbutton.x, event.xbutton.y);
                break;
            case ButtonRelease:
                if (event.xbutton.button == Button1 && pressed &&
                    pressed == button_at(a, event.xbutton.x, event.xbutton.y))
                    return pressed->response;
                pressed = NULL;
                break;
            case KeyPress: {
                KeySym key = a->x->XLookupKeysym(&event.xkey, 0);
                if (key == XK_Return || key == XK_KP_Enter) return QBY_ALERT_FIRST_BUTTON;
                if (key == XK_Escape) return QBY_ALERT_SECOND_BUTTON;
                break;
            }
            case ClientMessage:
                if ((Atom)event.xclient.data.l[0] == close_request) return QBY_ALERT_SECOND_BUTTON;
                break;
            default:
                break;
        }
    }
}

enum qby_alert_response qby_run_too_old_alert(const struct qby_too_old_texts* texts) {
    struct x11 x;
    if (!load_x11(&x)) return QBY_ALERT_NOT_SHOWN;
    static struct alert a;
    memset(&a, 0, sizeof a);
    a.x = &x;
    a.display = x.XOpenDisplay(NULL);
    if (!a.display) return QBY_ALERT_NOT_SHOWN;
    int screen = x.XDefaultScreen(a.display);
    a.title_font = load_font(&a, title_fonts);
    a.body_font = load_font(&a, body_fonts);
    if (!a.title_font || !a.body_font) {
        x.XCloseDisplay(a.display);
        return QBY_ALERT_NOT_SHOWN;
    }
    a.white = color(&a, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFF);
    a.background = color(&a, 0xECEC, 0xECEC, 0xECEC, a.white);
    a.text = color(&a, 0x2020, 0x2020, 0x2020, 0);
    a.accent = color(&a, 0x1E1E, 0x6464, 0xC8C8, a.text);
    layout(&a, texts);

    int left = (x.XDisplayWidth(a.display, screen) - WIDTH) / 2;
    int top = (x.XDisplayHeight(a.display, screen) - a.height) / 3;
    a.window = x.XCreateSimpleWindow(a.display, x.XRootWindow(a.display, screen),
                                     left > 0 ? left : 0, top > 0 ? top : 0, WIDTH,
                                     (unsigned)a.height, 0, a.text, a.background);
    describe_window(&a, texts->title);
    Atom close_request = x.XInternAtom(a.display, "WM_DELETE_WINDOW", False);
    x.XSetWMProtocols(a.display, a.window, &close_request, 1);
    x.XSelectInput(a.display, a.window,
                   ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask);
    a.gc = x.XCreateGC(a.display, a.window, 0, NULL);
    x.XMapRaised(a.display, a.window);

    enum qby_alert_response response = wait_for_answer(&a, close_request);
    x.XFreeGC(a.display, a.gc);
    x.XDestroyWindow(a.display, a.window);
    x.XFreeFont(a.display, a.title_font);
    if (a.body_font != a.title_font) x.XFreeFont(a.display, a.body_font);
    x.XCloseDisplay(a.display);
    return response;
}
