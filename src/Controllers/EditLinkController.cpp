#include "Controllers/EditLinkController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkFormDomains.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Utils/Utils.h"
#include "Utils/Validation.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QToolButton>

using namespace Costants;

namespace {
constexpr int kTransferTimeoutMs = 60000;

} // namespace

EditLinkController::EditLinkController(QWidget *parent)
    : LinkFormView(QStringLiteral("Edit link"), QStringLiteral("Update link"), parent)
    , m_suggestButton(new QToolButton(this))
    , m_dashboardButton(new QPushButton(QStringLiteral("Open in the dashboard"), this))
{
    setObjectName(QStringLiteral("EditLinkController"));
    m_suggestButton->setObjectName(QStringLiteral("suggestTitleButton"));
    m_suggestButton->setText(QStringLiteral("Suggest"));
    m_suggestButton->setToolTip(QStringLiteral("Propose a title for the destination"));
    m_suggestButton->setAccessibleName(QStringLiteral("Suggest a title"));
    m_suggestButton->setCursor(Qt::PointingHandCursor);
    m_suggestButton->setAutoRaise(true);
    m_suggestButton->setStyleSheet(QStringLiteral("color: #2563EB;"));
    // Beside the title field.
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    auto *titleLayout = static_cast<QVBoxLayout *>(m_titleBox->layout());
    titleLayout->removeWidget(m_textTitle);
    titleRow->addWidget(m_textTitle, 1);
    titleRow->addWidget(m_suggestButton);
    titleLayout->insertLayout(1, titleRow);
    m_dashboardButton->setObjectName(QStringLiteral("dashboardButton"));
    m_dashboardButton->setFlat(true);
    m_dashboardButton->setCursor(Qt::PointingHandCursor);
    m_dashboardButton->setStyleSheet(QStringLiteral("color: #2563EB;"));
    m_layout->insertWidget(m_layout->indexOf(m_submitBtn), m_dashboardButton);
    m_submitBtn->hide();
    setFixedHeight(formHeight);

    for (QLineEdit *field : {m_textDestination, m_textSlug, m_textTitle})
        connect(field, &QLineEdit::textEdited, this,
                [this, field] { controlTextDidChange(field); });
    connect(m_suggestButton, &QToolButton::clicked, this, &EditLinkController::suggestTitle);
    connect(m_dashboardButton, &QPushButton::clicked, this, &EditLinkController::openDashboard);
    connect(m_domains, &LinkFormDomains::chosen, this, &EditLinkController::changeState);
}

void EditLinkController::viewWillAppear()
{
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
    m_textDestination->setFocus();
}

void EditLinkController::load()
{
    if (const std::optional<QVariantMap> workspace = formWorkspace()) {
        m_wId = workspace->value(QStringLiteral("id")).toString();
        m_workspaceName = workspace->value(QStringLiteral("name")).toString();
        logLines({QStringLiteral("Workspace ID"), m_wId});
        m_domains->request(m_wId);
    }
    m_linkId = SettingsStore::shared().stringForKey(Preferences::editLinkId).value_or(QString());
    ApiManager &api = ApiManager::shared();
    if (!m_linkId.isEmpty() && api.internetStatus() != InternetStatus::notReachable) {
        logLines({QStringLiteral("Edit link ID in view: ") + m_linkId});
        requestLink();
    }
    requestAccount();
}

void EditLinkController::requestLink()
{
    ApiManager &api = ApiManager::shared();
    std::optional<QNetworkRequest> request =
        api.authorizedRequest(API::Links::links + QLatin1Char('/') + m_linkId, std::nullopt);
    if (!request)
        return;
    request->setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = api.network()->get(*request);
    api.watchRateLimit(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonDocument answer = QJsonDocument::fromJson(reply->readAll());
        if (reply->error() != QNetworkReply::NoError || status >= 300 || !answer.isObject())
            return linkLoaded(std::nullopt);
        linkLoaded(answer.object());
    });
}

void EditLinkController::linkLoaded(const std::optional<QJsonObject> &link)
{
    if (!link || !link->value(QLatin1String("id")).isString())
        return;
    logLines({QStringLiteral("LINK ID: ") + link->value(QLatin1String("id")).toString()});
    m_textDestination->setText(link->value(QLatin1String("destination")).toString());
    m_textDestination->setToolTip(m_textDestination->text());
    m_textSlug->setText(link->value(QLatin1String("slashtag")).toString());
    const QJsonObject domain = link->value(QLatin1String("domain")).toObject();
    m_domains->setShown(domain.value(QLatin1String("fullName")).toString(),
                        domain.value(QLatin1String("id")).toString());
    m_oldTitle = link->value(QLatin1String("title")).toString();
    m_textTitle->setText(m_oldTitle);
    m_oldDomain = m_domains->domainId();
    m_clicks = link->value(QLatin1String("clicks")).toInt();
    m_oldURL = m_textDestination->text();
    m_oldSlug = m_textSlug->text();
    m_linkReady = true;
    changeState();
}

void EditLinkController::controlTextDidChange(QLineEdit *field)
{
    if (field == m_textDestination) {
        setDestinationBorder(Validation::isValidUrl(field->text()));
        m_textDestination->setToolTip(field->text());
        m_destinationErrorLabel->hide();
    } else if (field == m_textSlug) {
        // A slashtag holds no blanks: the words typed are joined by "-".
        QString slug = field->text().trimmed();
        slug.replace(QLatin1Char(' '), QLatin1Char('-'));
        if (slug != field->text())
            field->setText(slug);
        checkSlashtag(false);
    } else {
        m_titleErrorLabel->hide();
    }
    changeState();
}

void EditLinkController::changeState()
{
    const bool changed = m_textTitle->text() != m_oldTitle ||
                         m_textDestination->text() != m_oldURL || m_textSlug->text() != m_oldSlug ||
                         m_domains->domainId() != m_oldDomain;
    const bool show = m_linkReady && changed && Validation::isValidUrl(m_textDestination->text());
    logLines({show ? QStringLiteral("SHOWING") : QStringLiteral("HIDING")});
    m_submitBtn->setVisible(show);
    m_submitBtn->setEnabled(show &&
                            LinkFormView::slashtagProblem(m_textSlug->text(), false).isEmpty());
}

void EditLinkController::suggestTitle()
{
    const QString text = m_textDestination->text();
    if (!Validation::isValidUrl(text))
        return;
    Utils::requestTitleSuggestion(destinationFor(text), m_wId,
                                  [self = QPointer(this)](std::optional<QString> title) {
                                      if (!self || !title)
                                          return;
                                      self->m_textTitle->setText(*title);
                                      self->changeState();
                                  });
}

void EditLinkController::openDashboard()
{
    logLines({QStringLiteral("open dashboard")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::linksPath + m_linkId);
    Platform::current().workspace().openUrl(page);
    NotificationCenter::shared().post(NotificationViews::editLinkPopover);
}

void EditLinkController::submit()
{
    if (m_submitBtn->isVisible() && m_submitBtn->isEnabled())
        updateBrandedLink();
}

void EditLinkController::updateBrandedLink()
{
    const QString text = m_textDestination->text();
    if (!Validation::isValidUrl(text) || !checkSlashtag(false))
        return;
    clearErrors();
    m_submitBtn->setEnabled(false);
    const QString url = destinationFor(text);
    logLines({QStringLiteral("LINK ID: ") + m_linkId});
    if (m_textSlug->text() == m_oldSlug && m_domains->domainId() == m_oldDomain) {
        logLines({QStringLiteral("soft update")});
        Utils::updateLink(m_linkId, url, m_textSlug->text(), m_domains->domainId(),
                          m_textTitle->text(), m_wId,
                          [self = QPointer(this)](const QString &property, const QString &message) {
                              if (self)
                                  self->updateRefused(property, message);
                          });
        return;
    }
    if (m_clicks < 1)
        return replace(url);
    NotificationCenter::shared().post(NotificationViews::editLinkPopover);
    const int answer = Platform::current().alerts().runModal(Alert{Alerts::editSlugQuestion,
                                                                   Alerts::editSlugInformative,
                                                                   Alert::Style::Warning,
                                                                   {Alerts::ok, Alerts::cancel}});
    if (answer != AlertPresenter::FirstButton) {
        // Back to the list, then to a fresh form for the same link: nothing was sent.
        NotificationCenter::shared().post(NotificationViews::togglePopover);
        NotificationCenter::shared().post(NotificationViews::closeEditLinkPopover);
        return;
    }
    logLines({QStringLiteral("Hard update")});
    replace(url);
}

void EditLinkController::replace(const QString &url)
{
    Utils::replaceLink(m_linkId, url, m_textSlug->text(), m_domains->domainId(),
                       m_textTitle->text(), m_wId,
                       [self = QPointer(this)](const QString &property, const QString &message) {
                           if (self)
                               self->updateRefused(property, message);
                       });
}

void EditLinkController::updateRefused(const QString &property, const QString &message)
{
    // The old link is still there (a replacement makes the new one first), so the form
    // shows the refusal with the user's values.
    // The popover went away for the question: it comes back as it was.
    if (QWidget *popover = window(); popover != this && !popover->isVisible()) {
        popover->show();
        popover->raise();
        popover->activateWindow();
    }
    showFieldError(property, message);
}
