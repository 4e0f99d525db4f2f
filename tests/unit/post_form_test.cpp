#include "update/post_form.h"

#include <gtest/gtest.h>

#include "fakes/fake_update_services.h"

namespace varnel {
namespace {

using testing::FakeTransport;
using testing::GbkCodePage;

TEST(PostForm, SendsTheEncodedFormWithTheFormContentType) {
    FakeTransport transport;
    const GbkCodePage gbk;
    FormPoster(transport, gbk).PostForm(u"https://localhost:8443/x", u"sn=中文&a=b c");

    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0].url, u"https://localhost:8443/x");
    EXPECT_EQ(transport.requests[0].contentType, u"application/x-www-form-urlencoded");
    EXPECT_EQ(transport.requests[0].body, "sn=%D6%D0%CE%C4&a=b c");
}

TEST(PostForm, ReturnsTheBodyWhateverTheStatus) {
    FakeTransport transport;
    const GbkCodePage gbk;
    const FormPoster poster(transport, gbk);

    transport.answer = {500, u"<html>内部错误</html>"};
    EXPECT_EQ(poster.PostForm(u"https://h/p", u"sn=kesto"), u"<html>内部错误</html>");
    transport.answer = {404, u""};
    EXPECT_EQ(poster.PostForm(u"https://h/p", u"sn=kesto"), u"");
}

TEST(PostForm, PassesTheTransportFailureToTheCaller) {
    FakeTransport transport;
    transport.fail = true;
    const GbkCodePage gbk;
    EXPECT_THROW(FormPoster(transport, gbk).PostForm(u"https://h/p", u"sn=kesto"), PlatformError);
}

TEST(PostForm, CopiedNonAsciiCharactersGoOnTheWireAsUtf8) {
    FakeTransport transport;
    const GbkCodePage gbk;
    FormPoster(transport, gbk).PostForm(u"https://h/p", u"k=가");
    EXPECT_EQ(transport.requests.at(0).body, "k=\xEA\xB0\x80");
}

}  // namespace
}  // namespace varnel
