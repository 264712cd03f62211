// Request filter of the HTML view's profile.
#include "htmlview/uPageRequestFilter.h"

#include "htmlview/uCapturePage.h"
#include "htmlview/uPageSchemeHandler.h"

void TPageRequestFilter::interceptRequest(QWebEngineUrlRequestInfo& Info) {
  const QString scheme = Info.requestUrl().scheme();
  const bool allowed = scheme == TPageSchemeHandler::Scheme || scheme == TCapturePage::FormScheme ||
                       scheme == "data" || scheme == "blob";
  Info.block(!allowed);
}
