// Keeps the HTML view's pages local: every request that is not for the view's own schemes
// (or inline data) is blocked, so a page can never reach the network or the file system
// around the page root. Installed on THtmlView's profile.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

class TPageRequestFilter : public QWebEngineUrlRequestInterceptor {
  Q_OBJECT
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& Info) override;
};
