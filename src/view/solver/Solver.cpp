#include "view/solver/Solver.h"

#include "api/APIHandler.h"

#include <QDebug>
#include <QPointer>

Solver::Solver(ShownLatex shownLatex, QObject* parent) : QObject(parent), shownLatex(std::move(shownLatex)) {}

QJsonObject Solver::requestBody(const QString& latex)
{
    return QJsonObject{{QStringLiteral("latex"), latex}};
}

QString Solver::summaryFrom(const QJsonDocument& reply)
{
    return reply.object().value(QStringLiteral("summary")).toString();
}

void Solver::solve(const QString& latex)
{
    const quint64 attempt = ++lastAttempt;
    if (!APIHandler::isNetworkAvailable()) {
        emit offline();
        return;
    }
    if (latex.isEmpty()) {
        emit unsolvable();
        return;
    }
    emit solving();
    const QPointer<Solver> self(this);
    APIHandler::send(
        QStringLiteral("/v1/solve"), QStringLiteral("POST"), requestBody(latex),
        [self, attempt, latex](const QJsonDocument& reply) {
            if (!self)
                return;
            const QString summary = summaryFrom(reply);
            self->onReply(attempt, latex, [self, summary] { emit self->solved(summary); });
        },
        [self, attempt, latex](const QJsonObject& error) {
            if (!self)
                return;
            self->onReply(attempt, latex, [self, error] {
                const QString id = error.value(QStringLiteral("id")).toString();
                qWarning().noquote() << "[QeltViewFrame] Solve error. id:" << id
                                     << ", message:" << error.value(QStringLiteral("message")).toString();
                if (id == QLatin1String("network_unreachable"))
                    emit self->offline();
                else
                    emit self->unsolvable();
            });
        });
}

void Solver::onReply(quint64 attempt, const QString& latex, const std::function<void()>& apply)
{
    if (attempt != lastAttempt || shownLatex() != std::optional<QString>(latex))
        return;
    apply();
}
