#include "Controllers/WorkspacesRequest.h"

#include "App/Costants.h"
#include "Services/ApiManager.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
// A list that does not come within this time counts as no answer.
constexpr int kTransferTimeoutMs = 30000;
} // namespace

void WorkspacesRequest::send(Completion completion)
{
    ApiManager &api = ApiManager::shared();
    std::optional<QNetworkRequest> request =
        api.authorizedRequest(Costants::API::Workspace::workspaces, std::nullopt);
    if (!request) {
        // Slowed down, the list fails at once; without a token the chain just ends.
        if (api.isSlowedDown())
            completion(std::nullopt);
        return;
    }
    if (request->transferTimeout() == 0)
        request->setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = api.network()->get(*request);
    api.watchRateLimit(reply);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, completion] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        if (status == 0 || status >= 300 || !document.isArray()) {
            completion(std::nullopt);
            return;
        }
        completion(document.array());
    });
}
