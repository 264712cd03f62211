// Decoding of captured form queries into name=value strings.
#include "markup/uFormFields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TFieldsCase {
  const char* Query;
  std::vector<std::string> Fields;
};

TEST(FormFields, DecodesQueriesAsTheEngineEncodesThem) {
  const TFieldsCase cases[] = {
      {"", {}},
      {"r100=12", {"r100=12"}},
      {"a=1&b=&c=x+y", {"a=1", "b=", "c=x y"}},
      {"a=%2B%26%3D%25", {"a=+&=%"}},
      {"name=Z%FCrich+%80+%BD", {"name=Z\xfcrich \x80 \xbd"}},
      {"a=%00b", {std::string("a=\0b", 4)}},
      {"a=%4a%4A", {"a=JJ"}},
      {"a=100%&b=%zz&c=%4", {"a=100%", "b=%zz", "c=%4"}},
      {"flag&&x=1&", {"flag=", "x=1"}},
      {"a=b=c", {"a=b=c"}},
      {"%72%31=on", {"r1=on"}},
      {"t=%26%2335%3B", {"t=&#35;"}},
      {"same=1&same=2", {"same=1", "same=2"}},
  };
  for (const TFieldsCase& c : cases) EXPECT_EQ(DecodeFormFields(c.Query), c.Fields) << c.Query;
}

TEST(FormFields, EveryByteSurvivesPercentEncoding) {
  std::string raw, encoded;
  const char* hex = "0123456789ABCDEF";
  for (int b = 0; b < 256; ++b) {
    raw += static_cast<char>(b);
    encoded += {'%', hex[b >> 4], hex[b & 15]};
  }
  EXPECT_EQ(DecodeFormComponent(encoded), raw);
}

}  // namespace
