#include "plugin/config/qwebviewecc.h"

namespace ORVO {

QWebViewEcc::QWebViewEcc(QWidget* parent) : QWebView(parent) {}

QWebViewEcc::~QWebViewEcc()
{
    // The page goes with the view and ends a load that still runs with
    // loadFinished(false). The view goes with its tab, mostly as the window
    // goes, and the plugin would relay that signal to a window (and a tab)
    // half destroyed by then: nobody is told of this load here. A window
    // that stays hears its end from the plugin.
    blockSignals(true);
}

} // namespace ORVO
