#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Asks the service to solve a Qelt's LaTeX and says what the Solver tab should show. Only the reply to
// the latest solve counts, and only while the Qelt on the page still has the LaTeX that was sent: a
// late reply of an earlier attempt or of another Qelt changes nothing. GUI thread only.
class Solver : public QObject
{
    Q_OBJECT

public:
    // The LaTeX of the Qelt on the page when a reply arrives; nothing when no Qelt is shown.
    using ShownLatex = std::function<std::optional<QString>()>;

    explicit Solver(ShownLatex shownLatex, QObject* parent = nullptr);

    // Without network: offline, and nothing is sent. Without LaTeX: unsolvable. Otherwise solving, the
    // request, and later solved or a failure.
    void solve(const QString& latex);

    // {"latex": latex}.
    static QJsonObject requestBody(const QString& latex);
    // The reply's "summary" when it is a string; empty otherwise.
    static QString summaryFrom(const QJsonDocument& reply);

signals:
    void offline();
    void unsolvable();
    void solving();
    void solved(QString summary);

private:
    void onReply(quint64 attempt, const QString& latex, const std::function<void()>& apply);

    ShownLatex shownLatex;
    quint64 lastAttempt = 0;
};
