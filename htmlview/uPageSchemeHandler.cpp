// The page scheme: documents from memory, resources from below the page root.
#include "htmlview/uPageSchemeHandler.h"

#include <QBuffer>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* LoadKey = "load";
constexpr size_t KeptDocuments = 4;
constexpr uintmax_t MaxFileSize = 64u << 20;

bool IsBelow(const fs::path& File, const fs::path& Root) {
  auto rootEnd = std::mismatch(Root.begin(), Root.end(), File.begin(), File.end()).first;
  return rootEnd == Root.end() && File != Root;
}

void Reply(QWebEngineUrlRequestJob* Job, const QByteArray& ContentType, const QByteArray& Body) {
  auto* buffer = new QBuffer(Job);
  buffer->setData(Body);
  Job->reply(ContentType, buffer);
}

}  // namespace

std::optional<std::string> ReadPageFile(const fs::path& File) {
  std::ifstream in(File, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size < 0) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.seekg(0) || !in.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

QByteArray PageContentType(const fs::path& File) {
  std::string ext = File.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == ".htm" || ext == ".html") return "text/html;charset=windows-1252";
  if (ext == ".css") return "text/css;charset=windows-1252";
  if (ext == ".js") return "text/javascript;charset=windows-1252";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".ico") return "image/x-icon";
  return "application/octet-stream";
}

TPageSchemeHandler::TPageSchemeHandler(QObject* Parent) : QWebEngineUrlSchemeHandler(Parent) {}

void TPageSchemeHandler::SetRoot(const fs::path& Root) {
  std::error_code ec;
  FRoot = fs::canonical(Root, ec);
  if (ec) FRoot.clear();
}

QUrl TPageSchemeHandler::PutDocument(const QString& RelativePath, const QByteArray& Html) {
  FDocuments[++FSerial] = Html;
  while (FDocuments.size() > KeptDocuments) FDocuments.erase(FDocuments.begin());
  QUrl url;
  url.setScheme(Scheme);
  url.setHost(Host);
  url.setPath("/" + RelativePath);
  url.setQuery(QString("%1=%2").arg(LoadKey).arg(FSerial));
  return url;
}

fs::path TPageSchemeHandler::ResolveFile(const QUrl& Url) const {
  if (FRoot.empty()) return {};
  const fs::path relative = fs::path(Url.path(QUrl::FullyDecoded).toStdString()).relative_path();
  for (const fs::path& part : relative)
    if (part == "..") return {};
  return ResolveBelowRoot(FRoot / relative);
}

fs::path TPageSchemeHandler::ResolveBelowRoot(const fs::path& File) const {
  if (FRoot.empty()) return {};
  std::error_code ec;
  fs::path file = fs::canonical(File, ec);
  if (ec || !IsBelow(file, FRoot) || !fs::is_regular_file(file, ec)) return {};
  if (fs::file_size(file, ec) > MaxFileSize || ec) return {};
  return file;
}

void TPageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* Job) {
  const QUrl url = Job->requestUrl();
  if (Job->requestMethod() != "GET" || url.host() != Host)
    return Job->fail(QWebEngineUrlRequestJob::RequestDenied);
  const QUrlQuery query(url);
  if (query.hasQueryItem(LoadKey)) {
    const auto it = FDocuments.find(query.queryItemValue(LoadKey).toUInt());
    if (it == FDocuments.end()) return Job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return Reply(Job, PageContentType("page.htm"), it->second);
  }
  const fs::path file = ResolveFile(url);
  const std::optional<std::string> bytes = file.empty() ? std::nullopt : ReadPageFile(file);
  if (!bytes) return Job->fail(QWebEngineUrlRequestJob::UrlNotFound);
  Reply(Job, PageContentType(file), QByteArray(bytes->data(), qsizetype(bytes->size())));
}
