#pragma once

#include <QJsonObject>
#include <QStringList>
#include <QVector>

#include <optional>

namespace zq::test::e2e {

// Runs this test process again inside the end-to-end harness (tests/e2e/run-in-harness: private network,
// names, trust, session and the TLS fake started with fakeArgs) and gives its exit status. Returns nothing
// in the process that runs inside, and when the machine cannot hold the harness (not root, namespaces
// refused): skipReason() then says why, and the test skips. Call first in main, before any Qt object.
std::optional<int> runInsideHarness(int argc, char* argv[], const QStringList& fakeArgs = {});
QString skipReason();

// What the fake received so far, in order, as its record's JSON lines (see RequestLog).
QVector<QJsonObject> recordedRequests();
// The recorded requests with this method and path.
QVector<QJsonObject> recordedRequests(const QString& method, const QString& path);
// The URLs the desktop was asked to open, in order.
QStringList openedUrls();

// The account the fake's browser sign-in yields.
inline const QString kEmail = QStringLiteral("e2e@example.com");
inline const QString kToken = QStringLiteral("e2e-token");

} // namespace zq::test::e2e
