#pragma once

#include <QWebView>

namespace ORVO {

// The web view of one portal tab.
class QWebViewEcc : public QWebView
{
    Q_OBJECT

public:
    explicit QWebViewEcc(QWidget* parent = nullptr);
    ~QWebViewEcc() override;

    // True while the view loads a page. Kept by the portal plugin from the
    // view's loadStarted() and loadFinished(bool); the view never reads it.
    bool loading = false;
};

} // namespace ORVO
