// The service's fake as a program of its own, serving HTTPS for a client that runs whole in another
// process: the stateful account, the sign-in, upload, user, event, log, image and manifest routes, and a
// record of every request received. Prints "ready <base URL>" on standard output once it listens.

#include "RequestLog.h"
#include "ServiceSite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>

#include <cstdio>

using namespace zq::test;

namespace {

[[noreturn]] void fail(const QString& why)
{
    std::fprintf(stderr, "zq_fake_service_tls: %s\n", qPrintable(why));
    std::exit(2);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("cannot read " + path + ": " + file.errorString());
    return file.readAll();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption cert("cert", "PEM certificate of the host names.", "file");
    const QCommandLineOption key("key", "PEM private key of the certificate.", "file");
    const QCommandLineOption listen("listen", "Address and port to listen on.", "address:port",
                                    "127.0.0.1:443");
    const QCommandLineOption baseUrl("base-url", "Base URL of the image addresses handed out.", "url",
                                     "https://api.zorvane.com");
    const QCommandLineOption record("record", "File that receives one JSON line per request.", "file");
    const QCommandLineOption email("email", "E-mail address the browser sign-in yields.", "address");
    const QCommandLineOption token("token", "Token the browser sign-in yields and the calls need.", "token");
    const QCommandLineOption latex("upload-latex", "LaTeX of every recognised upload.", "latex");
    const QCommandLineOption manifest("manifest", "JSON file served as the update manifest.", "file");
    const QCommandLineOption qelts("qelts", "JSON file of an array of {id, latex, text} in the account.",
                                   "file");
    parser.addOptions({cert, key, listen, baseUrl, record, email, token, latex, manifest, qelts});
    parser.process(app);
    if (!parser.isSet(cert) || !parser.isSet(key) || !parser.isSet(record))
        fail("--cert, --key and --record are required");

    FakeService::Tls tls;
    const QString where = parser.value(listen);
    if (!tls.address.setAddress(where.section(':', 0, -2)))
        fail("not an address: " + where);
    tls.port = quint16(where.section(':', -1).toUInt());
    tls.certificate = QSslCertificate(readAll(parser.value(cert)), QSsl::Pem);
    tls.key = QSslKey(readAll(parser.value(key)), QSsl::Ec, QSsl::Pem);
    if (tls.key.isNull())
        tls.key = QSslKey(readAll(parser.value(key)), QSsl::Rsa, QSsl::Pem);
    if (tls.certificate.isNull() || tls.key.isNull())
        fail("the certificate or the key is unreadable");
    tls.baseUrl = parser.value(baseUrl);

    FakeService service(tls);
    if (!service.isListening())
        fail("cannot listen on " + where + ": " + service.errorString());
    RequestLog log(service, parser.value(record));
    if (!log.isOpen())
        fail("cannot write " + parser.value(record) + ": " + log.errorString());
    FakeAccount account(service);
    ServiceSite::Options options;
    if (parser.isSet(email))
        options.email = parser.value(email);
    if (parser.isSet(token))
        options.token = parser.value(token);
    if (parser.isSet(latex))
        options.uploadLatex = parser.value(latex);
    if (parser.isSet(manifest))
        options.manifest = QJsonDocument::fromJson(readAll(parser.value(manifest))).object();
    if (parser.isSet(qelts)) {
        for (const QJsonValue& qelt : QJsonDocument::fromJson(readAll(parser.value(qelts))).array()) {
            const QJsonObject fields = qelt.toObject();
            account.add(fields.value("id").toString(), fields.value("latex").toString(),
                        fields.value("text").toString());
        }
    }
    ServiceSite site(service, account, options);

    std::printf("ready %s %u\n", qPrintable(service.baseUrl()), unsigned(service.port()));
    std::fflush(stdout);
    return app.exec();
}
