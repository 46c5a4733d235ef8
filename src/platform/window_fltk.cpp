// The real main window: FLTK 1.3 under X11. The controls of the store are
// rendered as FLTK widgets and kept up to date with it; what the user does
// goes back as the window messages the program expects: check boxes are not
// automatic (the program sets their mark), edit boxes hand the Enter key to
// their procedure, the close button asks and does not close. A display that
// goes away (its X server ends) is the close button too.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "platform/utf16.hpp"
#include "platform/window.hpp"
#include "platform/window_backend.hpp"

namespace skh::platform {

namespace {

// Set once the connection to the display has broken; from then on nothing
// here talks to the display.
std::atomic<bool> g_displayLost{false};

// Xlib meets a broken connection on the thread that used it (here the UI
// thread, the only one that calls it) and calls these two. Its own handlers
// end the process with exit(), which runs the destructors of static objects
// while the run's threads still use them. The first handler only returns
// (the close's own lines say why the program ends); when the second returns,
// Xlib marks the display as broken, every later call on it returns at once,
// and the thread goes on: the window asks to close as its close button does,
// so the run ends by its close and saves what it learned.
int lf_onDisplayLost(Display*) {
    g_displayLost = true;
    return 0;
}

void lf_onDisplayLostExit(Display*, void*) {
    g_displayLost = true;
    static std::atomic<bool> closeAsked{false};
    if (!closeAsked.exchange(true)) detail::postFromDisplay(kWmClose, 0, 0, 0);
}

void setColour(ColorRef c) {
    fl_color(static_cast<uchar>(c & 0xFF), static_cast<uchar>((c >> 8) & 0xFF), static_cast<uchar>((c >> 16) & 0xFF));
}

// One sans font for every text of the window, about the size of the
// system's dialog font.
constexpr int kFontSize = 13;

// Draws a paint's display list as it was recorded, so the window shows
// exactly what the headless backend records.
void replay(const std::vector<PaintOp>& ops) {
    fl_font(FL_HELVETICA, kFontSize);
    for (const PaintOp& op : ops) {
        setColour(op.colour);
        const Rect& r = op.rect;
        switch (op.kind) {
            case PaintOp::Kind::Fill:
                fl_rectf(r.left, r.top, r.right - r.left, r.bottom - r.top);
                break;
            case PaintOp::Kind::Line:
                fl_line(r.left, r.top, r.right, r.bottom);
                break;
            case PaintOp::Kind::Text:
                // The given point is the text's top left, as on Windows.
                fl_draw(detail::toUtf8(op.text).c_str(), r.left, r.top + fl_height() - fl_descent());
                break;
        }
    }
}

class MainFlWindow final : public Fl_Double_Window {
public:
    MainFlWindow(int x, int y, int w, int h, const char* title) : Fl_Double_Window(x, y, w, h, title) {}

protected:
    void draw() override {
        replay(detail::recordPaint());
        draw_children();
    }
};

// An edit box whose Enter key goes to the program's edit procedure.
class EditInput final : public Fl_Input {
public:
    EditInput(int x, int y, int w, int h, WindowHandle handle) : Fl_Input(x, y, w, h), m_handle(handle) {}

    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            storeText();
            detail::postFromDisplay(kWmChar, kEnterChar, 0, m_handle);
            return 1;
        }
        const int used = Fl_Input::handle(event);
        if (event == FL_KEYBOARD || event == FL_PASTE) storeText();
        return used;
    }
    std::uint64_t syncedVersion = 0;

private:
    void storeText() {
        std::u16string text;
        std::uint32_t error = 0;
        const char* v = value();
        const int n = utf8ToUtf16(v, nullptr, 0, error);
        text.resize(static_cast<std::size_t>(n));
        if (n > 0) utf8ToUtf16(v, text.data(), n, error);
        setWindowText(m_handle, text);
        ControlState state;
        if (controlState(m_handle, state)) syncedVersion = state.version;
    }
    WindowHandle m_handle;
};

struct Rendered {
    Fl_Widget* widget = nullptr;
    std::uint64_t version = 0;
};

class FltkBackend final : public detail::Backend {
public:
    FltkBackend() = default;
    ~FltkBackend() override { close(); }

    bool open(const std::u16string& title, int x, int y, int width, int height) override {
        // Lets other threads wake the loop with Fl::awake. The lock belongs to
        // this (the UI) thread until close: a window opened later on another
        // thread would wait for it for ever.
        Fl::lock();
        m_locked = true;
        m_title = detail::toUtf8(title);
        m_window = std::make_unique<MainFlWindow>(x, y, width, height, m_title.c_str());
        m_window->size_range(width, height, width, height);
        m_window->callback(&FltkBackend::onClose, this);
        m_window->end();
        syncControls();
        return true;
    }
    bool show() override {
        if (!m_window || g_displayLost) return false;
        m_window->show();
        Fl::flush();
        return true;
    }
    void close() override {
        if (m_window) {
            m_window->hide();
            m_rendered.clear();
            m_window.reset();
            Fl::flush();
        }
        if (m_locked) {
            m_locked = false;
            Fl::unlock();
        }
    }
    void waitForEvents(std::chrono::milliseconds limit) override {
        if (!g_displayLost) Fl::wait(static_cast<double>(limit.count()) / 1000.0);
    }
    // Once the display is lost the loop waits on its own queue: nobody reads
    // FLTK's wake-up pipe any more.
    void wake() override {
        if (!g_displayLost) Fl::awake();
    }
    bool hasEvents() const override { return !g_displayLost; }
    bool displayLost() const override { return g_displayLost; }
    void repaint() override {
        if (m_window && !g_displayLost) m_window->redraw();
    }
    void syncControls() override {
        const std::uint64_t version = controlsVersion();
        if (!m_window || g_displayLost || version == m_version) return;
        m_version = version;
        for (const ControlState& c : allControls()) sync(c);
    }
    WindowGeometry geometry() override {
        if (!m_window || !m_window->shown() || g_displayLost) return {};
        Fl::flush();
        XSync(fl_display, False);
        XWindowAttributes a{};
        if (XGetWindowAttributes(fl_display, fl_xid(m_window.get()), &a) == 0) return {};
        return WindowGeometry{a.map_state == IsViewable, a.width, a.height};
    }
    Rect rect() override {
        if (!m_window) return {};
        return Rect{m_window->x(), m_window->y(), m_window->x() + m_window->w(), m_window->y() + m_window->h()};
    }
    void setTopmost(bool topmost) override {
        if (!m_window || !m_window->shown() || g_displayLost) return;
        // The window manager's "above" state, as _NET_WM_STATE asks for it.
        XEvent e = clientMessage("_NET_WM_STATE", topmost ? 1 : 0,
                                 static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False)));
        XSendEvent(fl_display, DefaultRootWindow(fl_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &e);
        XFlush(fl_display);
    }
    void clickAt(int x, int y) override {
        if (!m_window || !m_window->shown() || g_displayLost) return;
        // What the X server sends for a press and release of the left button.
        for (const int type : {ButtonPress, ButtonRelease}) {
            XEvent e{};
            e.xbutton.type = type;
            e.xbutton.display = fl_display;
            e.xbutton.window = fl_xid(m_window.get());
            e.xbutton.root = DefaultRootWindow(fl_display);
            e.xbutton.time = CurrentTime;
            e.xbutton.x = x;
            e.xbutton.y = y;
            e.xbutton.x_root = m_window->x() + x;
            e.xbutton.y_root = m_window->y() + y;
            e.xbutton.button = Button1;
            e.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
            e.xbutton.same_screen = True;
            XSendEvent(fl_display, e.xbutton.window, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
                       &e);
        }
        XFlush(fl_display);
    }
    bool capture(Image& out) override {
        if (!m_window || !m_window->shown() || g_displayLost) return false;
        Fl::flush();
        const int w = m_window->w();
        const int h = m_window->h();
        m_window->make_current();
        uchar* pixels = fl_read_image(nullptr, 0, 0, w, h);
        if (pixels == nullptr) return false;
        out.width = w;
        out.height = h;
        out.rgb.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
        delete[] pixels;
        return true;
    }
    void pressCloseButton() override {
        // Without a display nothing would deliver the event: ask directly.
        if (g_displayLost) {
            detail::postFromDisplay(kWmClose, 0, 0, 0);
            return;
        }
        if (!m_window || !m_window->shown()) return;
        // What the window manager sends when the user clicks the close button.
        XEvent e = clientMessage("WM_PROTOCOLS", static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False)),
                                 CurrentTime);
        XSendEvent(fl_display, fl_xid(m_window.get()), False, NoEventMask, &e);
        XFlush(fl_display);
    }

private:
    // A client message about the window, of a type and with two values.
    XEvent clientMessage(const char* type, long first, long second) const {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = fl_xid(m_window.get());
        e.xclient.message_type = XInternAtom(fl_display, type, False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = first;
        e.xclient.data.l[1] = second;
        return e;
    }
    // A click or a choice, as the window procedure receives it.
    static void postCommand(void* data, std::uint16_t notification) {
        const auto handle = reinterpret_cast<WindowHandle>(data);
        detail::postFromDisplay(kWmCommand, makeWParam(static_cast<ControlId>(handle & 0xFFFF), notification),
                                static_cast<std::intptr_t>(handle), 0);
    }
    static void onClose(Fl_Widget*, void*) {
        // Escape also reaches the window's callback; only the close button asks to close.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        detail::postFromDisplay(kWmClose, 0, 0, 0);
    }
    static void onCheck(Fl_Widget* w, void* data) {
        // Not automatic: the mark is the program's, which answers the click.
        static_cast<Fl_Check_Button*>(w)->value(getCheck(reinterpret_cast<WindowHandle>(data)) ? 1 : 0);
        postCommand(data, kBnClicked);
    }
    static void onButton(Fl_Widget*, void* data) { postCommand(data, kBnClicked); }
    static void onChoice(Fl_Widget* w, void* data) {
        comboSetCurSel(reinterpret_cast<WindowHandle>(data), static_cast<Fl_Choice*>(w)->value());
        postCommand(data, kCbnSelChange);
    }

    Fl_Widget* create(const ControlState& c) {
        const WindowHandle handle = getDlgItem(c.id);
        void* data = reinterpret_cast<void*>(handle);
        m_window->begin();
        Fl_Widget* w = nullptr;
        switch (c.kind) {
            case ControlKind::CheckBox:
                w = new Fl_Check_Button(c.x, c.y, c.width, c.height);
                w->callback(&FltkBackend::onCheck, data);
                break;
            case ControlKind::PushButton:
                w = new Fl_Button(c.x, c.y, c.width, c.height);
                w->callback(&FltkBackend::onButton, data);
                w->labelsize(kFontSize);
                break;
            case ControlKind::Edit:
                w = new EditInput(c.x, c.y, c.width, c.height, handle);
                static_cast<Fl_Input*>(w)->textsize(kFontSize);
                break;
            case ControlKind::ComboBox:
                // The height of a drop-down list is its open list's; closed it is one line.
                w = new Fl_Choice(c.x, c.y, c.width, 21);
                w->callback(&FltkBackend::onChoice, data);
                static_cast<Fl_Choice*>(w)->textsize(kFontSize);
                break;
            case ControlKind::Label:
                break;
        }
        m_window->end();
        return w;
    }

    void sync(const ControlState& c) {
        Rendered& r = m_rendered[c.id];
        if (r.widget == nullptr) r.widget = create(c);
        if (r.widget == nullptr || r.version == c.version) return;
        r.version = c.version;
        Fl_Widget* w = r.widget;
        if (c.enabled) {
            w->activate();
        } else {
            w->deactivate();
        }
        switch (c.kind) {
            case ControlKind::CheckBox:
                static_cast<Fl_Check_Button*>(w)->value(c.checked ? 1 : 0);
                break;
            case ControlKind::PushButton:
                w->copy_label(detail::toUtf8(c.text).c_str());
                break;
            case ControlKind::Edit: {
                auto* input = static_cast<EditInput*>(w);
                // Text the user typed is in the store already.
                if (input->syncedVersion != c.version) input->value(detail::toUtf8(c.text).c_str());
                input->syncedVersion = c.version;
                break;
            }
            case ControlKind::ComboBox: {
                auto* choice = static_cast<Fl_Choice*>(w);
                choice->clear();
                for (const std::u16string& item : c.items) {
                    // add() would read '/', '&' and '_' as menu syntax; replace() takes the text as it is.
                    const int i = choice->add("x");
                    choice->replace(i, detail::toUtf8(item).c_str());
                }
                if (c.selection >= 0 && c.selection < static_cast<int>(c.items.size())) choice->value(c.selection);
                break;
            }
            case ControlKind::Label:
                break;
        }
        w->redraw();
    }

    std::string m_title;
    std::unique_ptr<MainFlWindow> m_window;
    std::map<ControlId, Rendered> m_rendered;
    std::uint64_t m_version = 0;
    bool m_locked = false;
};

}  // namespace

namespace detail {

std::unique_ptr<Backend> makeFltkBackend() {
    // FLTK ends the process when it cannot open the display: open it here and
    // hand the connection over. (A look with a connection of its own, closed
    // again, lets a server without other clients reset, and FLTK's own
    // connection coming in the middle of that was refused.)
    if (fl_display == nullptr) {
        Display* display = XOpenDisplay(nullptr);
        if (display == nullptr) return nullptr;
        XSetIOErrorHandler(&lf_onDisplayLost);
        XSetIOErrorExitHandler(display, &lf_onDisplayLostExit, nullptr);
        fl_open_display(display);
    }
    return std::make_unique<FltkBackend>();
}

}  // namespace detail

}  // namespace skh::platform
