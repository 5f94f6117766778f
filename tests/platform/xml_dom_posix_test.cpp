// Positions past a DOCTYPE: XmlLite reads the internal subset on Windows, not
// under Wine, so this runs here only.
#include <gtest/gtest.h>

#include "platform/xml_dom.h"
#include "test_support.h"

namespace {

TEST(ElementPosition, CountsPastTheInternalSubset) {
  testing_support::TempDir dir;
  // Markup in quotes, a comment and a processing instruction is no start tag.
  testing_support::writeFile(dir / "config.xml",
                             "<!DOCTYPE config [<!ENTITY q \"]>\"><!-- <b x='0'/> -->"
                             "<!ENTITY e \"> <b x='0'/>\"><?pi <b x='0'/> ?>]>\n"
                             "<config><b x=\"1\"/></config>");
  platform::XmlLoadError error;
  const platform::XmlDocument document =
      platform::loadXmlDocument((dir / "config.xml").u16string(), error);
  ASSERT_TRUE(document);
  const platform::XmlNode b = platform::selectSingleNode(document, u"//b");
  ASSERT_TRUE(b);
  EXPECT_EQ(platform::nodePosition(document, b), (platform::XmlPosition{2, 9}));
  EXPECT_EQ(platform::attributePosition(document, b, u"x"), (platform::XmlPosition{2, 12}));
}

}  // namespace
