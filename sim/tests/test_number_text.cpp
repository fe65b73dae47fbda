#include "number_text.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

using test::decodeNumberReply;
using test::sameToSixDigits;

TEST(NumberReply, RoundTripsToSixDigitsWithTheValuesExponent) {
    for (const double value :
         {12.3456, 0.5, -0.5, -1.5, 33.0, 3.3, 0.0012, 300.0, 1e-5, 1234567.0, 9.99999, 1.000004,
          -0.000123456, 2.5e-99, 9.99994e98, 99.9999999, 9.999996, -0.00999999999}) {
        const std::string reply = formatNumberReply(value);
        ASSERT_EQ(reply.size(), 12u) << reply;
        const auto decoded = decodeNumberReply(reply);
        ASSERT_TRUE(decoded) << reply;
        EXPECT_TRUE(sameToSixDigits(*decoded, value)) << value << " -> " << reply;
        EXPECT_EQ(reply[0], value < 0 ? '-' : '+') << reply;
        EXPECT_EQ(std::stoi(reply.substr(9)), std::floor(std::log10(std::fabs(value)))) << reply;
    }
}

TEST(NumberReply, ZeroAndTheMantissaThatRoundsToTen) {
    EXPECT_EQ(formatNumberReply(0.0), "+0.00000E+00");
    EXPECT_EQ(formatNumberReply(-0.0), "+0.00000E+00");
    for (const double value : {99.9999999, 9.999996, -0.00999999999, 999999.9}) {
        EXPECT_EQ(formatNumberReply(value).substr(1, 8), "A.00000E") << value;
    }
}

TEST(NumberReply, MatchesTheWireExamplesAndClampsTheExponent) {
    const std::pair<double, const char*> cases[] = {
        {12.3456, "+1.23456E+01"}, {0.5, "+5.00000E-01"},        {-0.5, "-5.00000E-01"},
        {0.0012, "+1.20000E-03"},  {99.9999999, "+A.00000E+01"}, {1e200, "+9.99999E+99"},
        {-1e200, "-9.99999E+99"},  {1e-200, "+0.00000E+00"},
    };
    for (const auto& [value, reply] : cases) {
        EXPECT_EQ(formatNumberReply(value), reply) << value;
    }
}

TEST(ParseDecimal, ReadsWholePlainDecimalsOnly) {
    const std::pair<const char*, double> good[] = {{"12.5", 12.5}, {".5", 0.5}, {"5.", 5.0},
                                                   {"-3", -3.0},   {"+3", 3.0}, {"1E-05", 1e-5}};
    for (const auto& [text, value] : good) {
        EXPECT_EQ(parseDecimal(text), value) << text;
    }
    for (const char* text : {"", "+", "abc", "1.2.3", "12V", " 1", "1 ", "+-1", "nan", "inf",
                             "1e999", "0x10", "1,5", "1e"}) {
        EXPECT_FALSE(parseDecimal(text)) << '"' << text << '"';
    }
    EXPECT_EQ(parseUnsigned("200"), 200u);
    for (const char* text : {"", "-1", "+1", "1.0", "12a", "99999999999999999999999"}) {
        EXPECT_FALSE(parseUnsigned(text)) << '"' << text << '"';
    }
}

} // namespace
} // namespace velmor::sim
