// The host check by subject alternative names alone, on certificates openssl makes per row.
#include "NamedCase.h"
#include "platform/linux/net/HostNameCheck.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct NameRow : testsupport::NamedCase {
    const char* commonName;
    const char* alternativeNames;  // "" for no extension
    const char* host;
    bool named;
};

class HostNameCheckTest : public testing::TestWithParam<NameRow> {};

QSslCertificate certificate(const NameRow& row) {
    QTemporaryDir folder;
    const QString path = folder.filePath("certificate.pem");
    QStringList arguments = QString(
                                "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                                "-nodes -days 1 -keyout")
                                .split(' ')
                            << folder.filePath("key.pem") << "-out" << path << "-subj"
                            << QStringLiteral("/CN=%1").arg(row.commonName);
    if (*row.alternativeNames)
        arguments << "-addext" << QStringLiteral("subjectAltName=%1").arg(row.alternativeNames);
    if (QProcess::execute("openssl", arguments) != 0) return QSslCertificate();
    return QSslCertificate::fromPath(path).value(0);
}

TEST_P(HostNameCheckTest, NamesTheHostOnlyByAlternativeNames) {
    const QSslCertificate made = certificate(GetParam());
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(certificateNamesHost(made, GetParam().host), GetParam().named);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, HostNameCheckTest,
    testing::Values(
        NameRow{"DnsName", "x", "DNS:cdn.quillbay.com", "cdn.quillbay.com", true},
        NameRow{"CaseAndFinalDot", "x", "DNS:CDN.Quillbay.com", "cdn.quillbay.com.", true},
        NameRow{"CommonNameOnly", "cdn.quillbay.com", "", "cdn.quillbay.com", false},
        NameRow{"CommonNameBesideOtherNames", "cdn.quillbay.com", "DNS:www.quillbay.com", "cdn.quillbay.com", false},
        NameRow{"WildcardOneLabel", "x", "DNS:*.quillbay.com", "cdn.quillbay.com", true},
        NameRow{"WildcardNotTwoLabels", "x", "DNS:*.quillbay.com", "a.cdn.quillbay.com", false},
        NameRow{"WildcardNotTheBase", "x", "DNS:*.quillbay.com", "quillbay.com", false},
        NameRow{"WildcardPartOfALabel", "x", "DNS:c*.quillbay.com", "cdn.quillbay.com", false},
        NameRow{"WildcardOverATopLevel", "x", "DNS:*.com", "quillbay.com", false},
        NameRow{"AddressByIpEntry", "x", "IP:127.0.0.1", "127.0.0.1", true},
        NameRow{"AddressNotByDnsEntry", "x", "DNS:127.0.0.1", "127.0.0.1", false},
        NameRow{"Ipv6Address", "x", "IP:::1", "::1", true},
        NameRow{"NameNotByIpEntry", "x", "IP:127.0.0.1", "localhost", false}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost
