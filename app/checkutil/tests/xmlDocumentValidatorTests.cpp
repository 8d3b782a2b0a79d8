// SPDX-License-Identifier: Apache-2.0
// The validator is local to the check's source, so the check's source is compiled in here.
#include "../src/xmlKrcheckInit.cpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

template <class Exception, class Action> Exception raisedBy(Action action) {
    try {
        action();
    } catch (const Exception& e) {
        return e;
    }
    throw std::runtime_error("expected exception not raised");
}

TEST(XmlDocumentValidator, TextPiecesAccumulateAndCharacterDataReplacesThem) {
    XmlDocumentValidator validator;
    validator.notifyStartTag("a");
    validator.notifyTextData("one ", 1);
    validator.notifyTextData("& two", 1);
    EXPECT_EQ(validator.getInnermostElement()->getData(), L"one & two");
    validator.notifyCharacterData("<raw>", 2);
    EXPECT_EQ(validator.getInnermostElement()->getData(), L"<raw>");
    validator.notifyTextData(" caf\xC3\xA9", 2);
    EXPECT_EQ(validator.getInnermostElement()->getData(), L"<raw> caf\u00E9");
    validator.notifyEndTag("a", 2);
}

TEST(XmlDocumentValidator, KeepsAttributesAndDocumentTypeOnWhatIsOpen) {
    XmlDocumentValidator validator;
    validator.notifyDocType("scene");
    validator.notifyStartTag("outer");
    validator.notifyStartTag("inner");
    validator.notifyAttribute("x", "1", 1);
    EXPECT_EQ(validator.getInnermostElement()->getAttribute("x"), "1");
    validator.notifyEmptyTagEnd();
    EXPECT_EQ(validator.getInnermostElement()->getName(), "outer");
    EXPECT_FALSE(validator.getInnermostElement()->hasAttribute("x"));
    validator.notifyEndTag("outer", 1);
    ASSERT_NE(validator.getDocument().getDocumentType(), nullptr);
    EXPECT_EQ(validator.getDocument().getDocumentType()->getName(), "scene");
}

TEST(XmlDocumentValidator, MismatchedEndTagNamesBothElementsAndLeavesTheStack) {
    XmlDocumentValidator validator;
    validator.notifyStartTag("a");
    validator.notifyStartTag("b");
    const auto error = raisedBy<Kr::XmlEx::ExSyntaxError>([&] { validator.notifyEndTag("a", 7); });
    EXPECT_EQ(error.getXmlMessage(), "at \"a\" element end tag. End tag \"b\" missing");
    EXPECT_EQ(error.getFile(), "app\\checkutil\\src\\xmlKrcheckInit");
    EXPECT_EQ(error.getLine(), 216);
    EXPECT_EQ(error.getXmlLine(), 7);
    EXPECT_EQ(validator.getInnermostElement()->getName(), "b");
    validator.notifyEndTag("b", 8);
    validator.notifyEndTag("a", 9);
}

TEST(XmlDocumentValidator, ContentWithNoOpenElementIsRefusedWithItsOwnLine) {
    XmlDocumentValidator validator;
    const auto attribute = raisedBy<Kr::XmlEx::ExSyntaxError>([&] { validator.notifyAttribute("x", "1", 3); });
    EXPECT_EQ(attribute.getXmlMessage(), "Can't pushAttribute : No valid element");
    EXPECT_EQ(attribute.getLine(), 239);
    EXPECT_EQ(attribute.getXmlLine(), 3);
    const auto text = raisedBy<Kr::XmlEx::ExSyntaxError>([&] { validator.notifyTextData("t", 4); });
    EXPECT_EQ(text.getXmlMessage(), "No valid element for adding text data");
    EXPECT_EQ(text.getLine(), 265);
    const auto data = raisedBy<Kr::XmlEx::ExSyntaxError>([&] { validator.notifyCharacterData("d", 5); });
    EXPECT_EQ(data.getXmlMessage(), "No valid element for adding character data");
    EXPECT_EQ(data.getLine(), 284);
    // The parser never closes what is not open; if something did, the answer is a syntax error too.
    EXPECT_THROW(validator.notifyEndTag("a", 6), Kr::XmlEx::ExSyntaxError);
    EXPECT_THROW(validator.notifyEmptyTagEnd(), Kr::XmlEx::ExSyntaxError);
}

TEST(XmlDocumentValidator, AcceptsOnlyVersionOnePointZero) {
    XmlDocumentValidator validator;
    EXPECT_NO_THROW(validator.notifyXmlVersion("1.0", 1));
    for (const char* version : {"1.1", "1.0 ", "1", ""}) {
        SCOPED_TRACE(version);
        const auto error =
            raisedBy<Kr::XmlEx::ExXmlVersionNotSupported>([&] { validator.notifyXmlVersion(version, 2); });
        EXPECT_EQ(error.getLine(), 163);
        EXPECT_EQ(error.getXmlLine(), 2);
    }
}

TEST(XmlDocumentValidator, OpenElementsFailTheAssertionUnlessAnotherFailureIsLeaving) {
    const auto failure = raisedBy<Kr::ExAssertionFailed>([] {
        XmlDocumentValidator validator;
        validator.notifyStartTag("a");
    });
    EXPECT_EQ(failure.getText(), "_elementStack.empty()");
    EXPECT_EQ(failure.getFile(), "app\\checkutil\\src\\xmlKrcheckInit");
    EXPECT_EQ(failure.getLine(), 150);

    // A second exception during unwinding would end the process; the first one must arrive.
    const auto first = raisedBy<Kr::XmlEx::ExSyntaxError>([] {
        XmlDocumentValidator validator;
        validator.notifyStartTag("a");
        validator.notifyStartTag("b");
        validator.notifyEndTag("a", 1);
    });
    EXPECT_EQ(first.getLine(), 216);
}

} // namespace
