#include "ServiceSite.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QUrl>
#include <QUuid>

namespace zq::test {

namespace {

Reply error(int status, const QString& id, const QString& message)
{
    const QJsonObject failure{{"id", id}, {"message", message}};
    return Reply::json(QJsonObject{{"errors", QJsonArray{failure}}}, status);
}

bool startsWith(const QString& path, const char* prefix)
{
    return path.startsWith(QLatin1String(prefix));
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

ServiceSite::ServiceSite(FakeService& service, FakeAccount& account, const Options& options)
    : m_service(service), m_account(account), m_options(options)
{
    service.setGuard([this](const RecordedRequest& request) { return refuseWithoutToken(request); });
    const auto route = [&](const QByteArray& method, const QString& path, auto handle) {
        service.on(method, path,
                   [this, handle](const RecordedRequest& request) { return (this->*handle)(request); });
    };
    // Every prefix route matches a path that no other route names; of two, the later one wins, so the
    // catch-all for the accounts host comes first.
    route("GET", "/*", &ServiceSite::accountsPage);
    route("POST", "/v1/user/logins", &ServiceSite::openLogin);
    route("GET", "/v1/user/logins/*", &ServiceSite::loginStatus);
    route("POST", "/v1/qelts-multipart", &ServiceSite::upload);
    route("GET", "/v1/qelts/*", &ServiceSite::qelt);
    route("GET", "/v1/user/settings", &ServiceSite::settings);
    route("PATCH", "/v1/user/settings", &ServiceSite::settings);
    route("GET", "/images/*", &ServiceSite::image);
    service.on("GET", "/v1/user", Reply::json({{"username", options.userName}, {"email", options.email}}));
    for (const char* path : {"/v1/events", "/v1/logs", "/v1/user/feedback", "/v1/user/ocr_feedback"})
        service.on("POST", QString::fromLatin1(path), Reply::json(QJsonObject()));
    QJsonObject manifest = options.manifest;
    if (manifest.isEmpty()) {
        manifest = {{"version", "00.00.0000"},
                    {"percent", 100},
                    {"url", service.baseUrl() + "/lin_app/zorvane-qelting-tool.AppImage"}};
    }
    service.on("GET", "/lin_app/version.json", Reply::json(manifest));
}

std::optional<Reply> ServiceSite::refuseWithoutToken(const RecordedRequest& request) const
{
    const bool forUser = (startsWith(request.path, "/v1/") || startsWith(request.path, "/v4/")) &&
                         !startsWith(request.path, "/v1/user/logins");
    if (!forUser || request.header("authorization") == "Bearer " + m_options.token.toUtf8())
        return std::nullopt;
    return error(401, "unauthorized", "Invalid or missing token");
}

Reply ServiceSite::openLogin(const RecordedRequest& request)
{
    const QString clientId = request.json().value("client_id").toString();
    if (clientId.isEmpty())
        return error(400, "invalid_client_id", "client_id is missing");
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_logins.insert(uuid, Login{clientId, false});
    return Reply::json({{"uuid", uuid}});
}

Reply ServiceSite::loginStatus(const RecordedRequest& request) const
{
    const auto login = m_logins.constFind(request.path.section('/', 4));
    if (login == m_logins.constEnd() || login->clientId != request.queryItem("client_id"))
        return error(400, "unknown_login_uuid", "Unknown login process");
    if (!login->completed)
        return Reply::json({{"status", "pending"}});
    return Reply::json({{"status", "completed"}, {"email", m_options.email}, {"token", m_options.token}});
}

Reply ServiceSite::accountsPage(const RecordedRequest& request)
{
    if (!request.header("host").startsWith("accounts."))
        return Reply::text(404, "no route for GET " + request.path.toUtf8());
    // The browser's visit stands for the user signing in there: the login process named anywhere in
    // the address completes.
    const QString address = QUrl::fromPercentEncoding((request.path + '?' + request.query).toUtf8());
    for (auto login = m_logins.begin(); login != m_logins.end(); ++login) {
        if (address.contains(login.key(), Qt::CaseInsensitive)) {
            login->completed = true;
            return Reply::raw("<html><body><p>Signed in. You can go back to the app.</p></body></html>",
                              "text/html; charset=utf-8");
        }
    }
    return Reply::text(404, "no login process in " + address.toUtf8());
}

Reply ServiceSite::upload(const RecordedRequest& request)
{
    const RecordedPart* file = nullptr;
    const RecordedPart* options = nullptr;
    for (const RecordedPart& part : request.parts) {
        if (part.name == "file")
            file = &part;
        else if (part.name == "options_json")
            options = &part;
    }
    if (!file || file->data.isEmpty() || !options || !QJsonDocument::fromJson(options->data).isObject())
        return error(400, "invalid_upload", "Expected the parts file and options_json");
    const QString id = QStringLiteral("upload%1").arg(++m_uploaded);
    m_uploads.insert(id, file->data);
    const QString latex = m_options.uploadLatex;
    QJsonObject qelt = m_account.add(id, latex, "\\( " + latex + " \\)").json(m_service.baseUrl());
    qelt.insert("time_ms", QJsonObject{{"read_request_body", 2}, {"ocr_api_response", 40}});
    return Reply::json(qelt).withHeader("zorvane-request-id", "request-" + id.toUtf8());
}

Reply ServiceSite::qelt(const RecordedRequest& request) const
{
    const FakeQelt* qelt = m_account.find(request.path.section('/', 3));
    if (!qelt || qelt->deleted)
        return error(404, "qelt_not_found", "No such Qelt");
    return Reply::json(qelt->json(m_service.baseUrl()));
}

Reply ServiceSite::settings(const RecordedRequest& request)
{
    if (request.method == "PATCH") {
        const QJsonValue improve = request.json().value("improve_zorvane");
        if (!improve.isBool())
            return error(400, "invalid_body", "improve_zorvane must be a boolean");
        m_improve = improve.toBool();
        return Reply::json(QJsonObject());
    }
    return Reply::json({{"improve_zorvane", m_improve}});
}

Reply ServiceSite::image(const RecordedRequest& request) const
{
    // "/images/<id>/<name>.png": the uploaded picture for an uploaded Qelt's original, else a plain
    // picture whose colour follows the address, so that a new render is a new picture.
    const QString id = request.path.section('/', 2, 2);
    const QString name = request.path.section('/', 3);
    if (!m_account.find(id))
        return Reply::text(404, "no such image");
    QImage picture;
    if (name == QLatin1String("original.png") && m_uploads.contains(id))
        picture = QImage::fromData(m_uploads.value(id));
    if (picture.isNull()) {
        const QByteArray hash = QCryptographicHash::hash(request.path.toUtf8(), QCryptographicHash::Md5);
        picture = QImage(240, 80, QImage::Format_RGB32);
        picture.fill(QColor(quint8(hash[0]), quint8(hash[1]), quint8(hash[2])));
    }
    return Reply::raw(png(picture), "image/png");
}

} // namespace zq::test
