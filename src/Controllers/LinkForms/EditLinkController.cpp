#include "Controllers/LinkForms/EditLinkController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkForms/LinkFormDomains.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Utils/Utils.h"
#include "Utils/Validation.h"
#include "Views/ElidedLabel.h"

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
    m_suggestButton->setStyleSheet(QStringLiteral("QToolButton { color: #2563EB; }"
                                                  "QToolButton:disabled { color: #BBBBBB; }"));
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
    // A blank typed last has no word after it once the user leaves the field.
    connect(m_textSlug, &QLineEdit::editingFinished, this, &EditLinkController::finishSlashtag);
    connect(m_suggestButton, &QToolButton::clicked, this, &EditLinkController::suggestTitle);
    connect(m_dashboardButton, &QPushButton::clicked, this, &EditLinkController::openDashboard);
    connect(m_domains, &LinkFormDomains::chosen, this, &EditLinkController::changeState);
    // Domains that come after the link failed do not make the picker choosable again.
    connect(m_domains, &LinkFormDomains::loaded, this, [this] {
        if (m_linkUnavailable)
            m_textDomain->setEnabled(false);
    });
}

void EditLinkController::viewWillAppear()
{
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
    m_textDestination->setFocus();
}

EditLinkController::~EditLinkController()
{
    // A link answer still on its way would outlive the form that waits for it.
    if (m_linkReply) {
        m_linkReply->disconnect(this);
        m_linkReply->abort();
        m_linkReply->deleteLater();
    }
}

void EditLinkController::load()
{
    SettingsStore &store = SettingsStore::shared();
    const std::optional<QVariantMap> workspace = formWorkspace();
    if (workspace) {
        m_wId = workspace->value(QStringLiteral("id")).toString();
        m_workspaceName = workspace->value(QStringLiteral("name")).toString();
    }
    // A link opened from a notification may live in another workspace than the list's (the
    // automatic one): it can only be fetched and changed there.
    const QString linkWorkspace =
        store.stringForKey(Preferences::editWorkspaceId).value_or(QString());
    if (!linkWorkspace.isEmpty() && linkWorkspace != m_wId) {
        m_wId = linkWorkspace;
        const std::optional<QVariantMap> automatic =
            store.dictionaryForKey(Preferences::workspaceObjectAutoReplace);
        m_workspaceName = automatic && automatic->value(QStringLiteral("id")) == linkWorkspace
                              ? automatic->value(QStringLiteral("name")).toString()
                              : QString();
    }
    if (!m_wId.isEmpty()) {
        logLines({QStringLiteral("Workspace ID"), m_wId});
        m_domains->request(m_wId);
    }
    m_linkId = store.stringForKey(Preferences::editLinkId).value_or(QString());
    if (m_linkId.isEmpty())
        linkUnavailable(QStringLiteral("There is no link to edit."));
    else if (ApiManager::shared().internetStatus() == InternetStatus::notReachable)
        linkUnavailable(QStringLiteral("No internet connection: the link cannot be loaded now."));
    else
        requestLink();
    requestAccount();
}

void EditLinkController::requestLink()
{
    logLines({QStringLiteral("Edit link ID in view: ") + m_linkId});
    ApiManager &api = ApiManager::shared();
    std::optional<QNetworkRequest> request =
        api.authorizedRequest(API::Links::links + QLatin1Char('/') + m_linkId,
                              m_wId.isEmpty() ? std::nullopt : std::optional<QString>(m_wId));
    if (!request)
        return linkUnavailable(QStringLiteral("You are signed out: the link cannot be loaded."));
    request->setTransferTimeout(kTransferTimeoutMs);
    m_linkReply = api.network()->get(*request);
    api.watchRateLimit(m_linkReply);
    connect(m_linkReply, &QNetworkReply::finished, this, &EditLinkController::linkAnswered);
}

void EditLinkController::linkAnswered()
{
    QNetworkReply *reply = m_linkReply;
    m_linkReply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonDocument answer = QJsonDocument::fromJson(reply->readAll());
    if (status == 404)
        return linkUnavailable(QStringLiteral("This link no longer exists in its workspace."));
    if (reply->error() != QNetworkReply::NoError || status >= 300 || !answer.isObject())
        return linkUnavailable(
            QStringLiteral("The link could not be loaded. Close the form and try again later."));
    linkLoaded(answer.object());
}

void EditLinkController::linkUnavailable(const QString &message)
{
    logLines({QStringLiteral("link not loaded: ") + message});
    m_linkUnavailable = true;
    // Nothing to change: empty fields that could be sent would only mislead. The picker looks
    // disabled too, not just read-only as with a single domain.
    m_textDomain->setStyleSheet(m_textDomain->styleSheet() +
                                QStringLiteral("QPushButton:disabled { color: #BBBBBB;"
                                               " background: #FFFFFF; border-color: #EEEEEE; }"));
    for (QWidget *part : std::initializer_list<QWidget *>{
             m_textDestination, m_textSlug, m_textTitle, m_textDomain, m_suggestButton})
        part->setEnabled(false);
    m_formErrorLabel->setText(message);
    m_formErrorLabel->show();
}

void EditLinkController::linkLoaded(const std::optional<QJsonObject> &link)
{
    if (!link || !link->value(QLatin1String("id")).isString())
        return linkUnavailable(
            QStringLiteral("The link could not be loaded. Close the form and try again later."));
    logLines({QStringLiteral("LINK ID: ") + link->value(QLatin1String("id")).toString()});
    m_textDestination->setText(link->value(QLatin1String("destination")).toString());
    m_textDestination->setToolTip(ElidedLabel::plainToolTip(m_textDestination->text()));
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
        m_textDestination->setToolTip(ElidedLabel::plainToolTip(field->text()));
        m_destinationErrorLabel->hide();
    } else if (field == m_textSlug) {
        // A slashtag holds no blanks: the words typed are joined by "-" as they come, and the
        // cursor stays where the user types.
        int cursor = field->cursorPosition();
        const QString joined = joinedSlashtag(field->text(), &cursor);
        if (joined != field->text()) {
            field->setText(joined);
            field->setCursorPosition(cursor);
        }
        checkSlashtagText(slashtag(), false);
    } else {
        m_titleErrorLabel->hide();
    }
    changeState();
}

QString EditLinkController::joinedSlashtag(const QString &text, int *cursor)
{
    QString joined;
    int moved = -1;
    bool inBlanks = false;
    for (int i = 0; i < text.size(); ++i) {
        if (i == *cursor)
            moved = static_cast<int>(joined.size()) + (inBlanks && !joined.isEmpty() ? 1 : 0);
        if (text.at(i).isSpace()) {
            inBlanks = true;
            continue;
        }
        if (inBlanks && !joined.isEmpty())
            joined += QLatin1Char('-');
        inBlanks = false;
        joined += text.at(i);
    }
    // Blanks at the end wait, as one, for the word that follows them.
    if (inBlanks && !joined.isEmpty())
        joined += QLatin1Char(' ');
    *cursor = moved < 0 ? static_cast<int>(joined.size()) : std::min<int>(moved, joined.size());
    return joined;
}

QString EditLinkController::slashtag() const
{
    return m_textSlug->text().trimmed();
}

void EditLinkController::finishSlashtag()
{
    if (m_textSlug->text() != slashtag())
        m_textSlug->setText(slashtag());
}

void EditLinkController::changeState()
{
    const bool changed = m_textTitle->text() != m_oldTitle ||
                         m_textDestination->text() != m_oldURL || slashtag() != m_oldSlug ||
                         m_domains->domainId() != m_oldDomain;
    const bool show = m_linkReady && changed && Validation::isValidUrl(m_textDestination->text());
    logLines({show ? QStringLiteral("SHOWING") : QStringLiteral("HIDING")});
    m_submitBtn->setVisible(show);
    m_submitBtn->setEnabled(show && LinkFormView::slashtagProblem(slashtag(), false).isEmpty());
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
    finishSlashtag();
    if (!Validation::isValidUrl(text) || !checkSlashtag(false))
        return;
    clearErrors();
    m_submitBtn->setEnabled(false);
    const QString url = destinationFor(text);
    logLines({QStringLiteral("LINK ID: ") + m_linkId});
    if (slashtag() == m_oldSlug && m_domains->domainId() == m_oldDomain) {
        logLines({QStringLiteral("soft update")});
        Utils::updateLink(m_linkId, url, slashtag(), m_domains->domainId(), m_textTitle->text(),
                          m_wId,
                          [self = QPointer(this)](const QString &property, const QString &message) {
                              if (self)
                                  self->updateRefused(property, message);
                          });
        return;
    }
    if (m_clicks < 1)
        return replace(url);
    NotificationCenter::shared().post(NotificationViews::editLinkPopover);
    // The old link's statistics go: Enter keeps them.
    const int answer = Platform::current().alerts().runModal(Alert{Alerts::editSlugQuestion,
                                                                   Alerts::editSlugInformative,
                                                                   Alert::Style::Warning,
                                                                   {Alerts::ok, Alerts::cancel},
                                                                   true});
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
    Utils::replaceLink(m_linkId, url, slashtag(), m_domains->domainId(), m_textTitle->text(), m_wId,
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
