#include "app/uLogRules.h"

#include <QLoggingCategory>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kQuietRules = "*.debug=false;*.info=false";

bool TakeVerbose(int& Argc, char** Argv) {
  bool verbose = false;
  int kept = 1;
  for (int i = 1; i < Argc; ++i) {
    if (std::strcmp(Argv[i], "--verbose") == 0)
      verbose = true;
    else
      Argv[kept++] = Argv[i];
  }
  Argv[kept] = nullptr;
  Argc = kept;
  return verbose;
}

}  // namespace

void QuietLogging(int& Argc, char** Argv) {
  // A logging configuration file of the user's own is left to speak for itself.
  if (TakeVerbose(Argc, Argv) || std::getenv("QT_LOGGING_CONF")) return;
  // Rules from the environment win over those set here, and later rules over earlier ones,
  // so the user's own stay in charge. This process has read its environment already.
  QLoggingCategory::setFilterRules(QString::fromLatin1(kQuietRules).replace(';', '\n'));
  std::string rules = kQuietRules;
  if (const char* own = std::getenv("QT_LOGGING_RULES"); own && *own)
    rules += ";" + std::string(own);
  setenv("QT_LOGGING_RULES", rules.c_str(), 1);
}
