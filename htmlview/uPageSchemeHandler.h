// Serves the HTML view's pages: the expanded page documents the view hands over, and the
// files below the page root (stylesheets, images) that those pages refer to. Nothing outside
// the root is ever served. Owned by THtmlView's profile; used on the GUI thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

class TPageSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  static constexpr const char* Scheme = "tallybox-page";
  static constexpr const char* Host = "pages";  // the one host every page and resource is under

  explicit TPageSchemeHandler(QObject* Parent = nullptr);

  // Folder whose files may be served; a folder that does not exist serves nothing.
  void SetRoot(const std::filesystem::path& Root);
  const std::filesystem::path& Root() const { return FRoot; }

  // Keeps Html as the document for the next page load and returns the URL to load it from:
  // RelativePath (a path below the root, "/"-separated) plus a query naming this load, so
  // relative references resolve against the page's folder. Only the last few documents are
  // kept; an older URL is answered "not found".
  QUrl PutDocument(const QString& RelativePath, const QByteArray& Html);

  // The canonical form of File when it is a regular file below the root that may be served;
  // an empty path when it is missing, not a regular file, too large or outside the root
  // (symbolic links are followed before the check).
  std::filesystem::path ResolveBelowRoot(const std::filesystem::path& File) const;

  // The file that a resource URL names (see ResolveBelowRoot); ".." never climbs out.
  std::filesystem::path ResolveFile(const QUrl& Url) const;

  void requestStarted(QWebEngineUrlRequestJob* Job) override;

 private:
  std::filesystem::path FRoot;
  std::map<unsigned, QByteArray> FDocuments;
  unsigned FSerial = 0;
};

// The media type a page resource is served with, by file name extension; 8-bit pages and
// stylesheets are marked windows-1252 so the engine decodes their bytes as such.
QByteArray PageContentType(const std::filesystem::path& File);

// The whole content of a page file; nullopt when it cannot be opened or read to its end.
std::optional<std::string> ReadPageFile(const std::filesystem::path& File);
