#include "plugin/config/qwebviewecc.h"

namespace ORVO {

QWebViewEcc::QWebViewEcc(QWidget* parent) : QWebView(parent) {}

QWebViewEcc::~QWebViewEcc() = default;

} // namespace ORVO
