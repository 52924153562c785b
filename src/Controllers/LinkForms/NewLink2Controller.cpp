#include "Controllers/LinkForms/NewLink2Controller.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkForms/LinkFormDomains.h"
#include "Services/ApiManager.h"
#include "Services/Domain.h"
#include "Services/WorkspaceDomainPair.h"
#include "Utils/DefaultHelper.h"
#include "Utils/NotificationHandler.h"
#include "Utils/PercentEncoding.h"
#include "Utils/SlugHandler.h"
#include "Utils/Utils.h"
#include "Utils/Validation.h"
#include "Views/ElidedLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Costants;

namespace {
constexpr int kRememberedDomainDelayMs = 200;
} // namespace

NewLink2Controller::NewLink2Controller(QWidget *parent)
    : LinkFormView(QStringLiteral("New branded link"), QStringLiteral("Create link"), parent)
    , m_fakeSubmitBtn(new QPushButton(QStringLiteral("Continue"), this))
    , m_hintLabel(
          new QLabel(QStringLiteral("Enter continues \u00B7 Esc goes back to your links"), this))
    , m_destinationURL(
          SettingsStore::shared().stringForKey(Preferences::newDestination).value_or(QString()))
{
    setObjectName(QStringLiteral("NewLink2Controller"));
    m_fakeSubmitBtn->setObjectName(QStringLiteral("fakeSubmitBtn"));
    m_fakeSubmitBtn->setCursor(Qt::PointingHandCursor);
    m_fakeSubmitBtn->setStyleSheet(m_submitBtn->styleSheet());
    m_fakeSubmitBtn->setEnabled(false);
    m_hintLabel->setAlignment(Qt::AlignCenter);
    m_hintLabel->setStyleSheet(QStringLiteral("color: #6B6B6B;"));
    // The continue button and its hint sit right under the destination while collapsed.
    m_layout->insertWidget(2, m_fakeSubmitBtn);
    m_layout->insertWidget(3, m_hintLabel);
    m_textSlug->setReadOnly(true);
    m_textSlug->setPlaceholderText(QStringLiteral("Slashtag (eg. card)"));
    m_textTitle->setPlaceholderText(QStringLiteral("Title"));
    setExpandedVisible(false);
    connect(m_textDestination, &QLineEdit::textEdited, this,
            &NewLink2Controller::controlTextDidChange);
    connect(m_textSlug, &QLineEdit::textEdited, this, [this] {
        m_submitBtn->setEnabled(checkSlashtag(true) &&
                                Validation::isValidUrl(m_textDestination->text()));
    });
    connect(m_fakeSubmitBtn, &QPushButton::clicked, this, &NewLink2Controller::askForSlug);
    connect(m_domains, &LinkFormDomains::loaded, this, &NewLink2Controller::domainsStep);
    connect(m_domains, &LinkFormDomains::chosen, this, &NewLink2Controller::domainChosen);
}

void NewLink2Controller::viewWillAppear()
{
    m_hasExpanded = false;
    setFixedFormHeight(m_destinationURL.isEmpty() && !m_alreadyOpen ? collapsedHeight
                                                                    : expandedHeight);
    logLines({QStringLiteral("DID APPEAR")});
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
    m_textDestination->setFocus();
}

void NewLink2Controller::load()
{
    // The router says whether the form is external only once it has made it.
    logLines({QStringLiteral("FRESH EXTERNAL: "), m_external});
    requestAccount();
    if (const std::optional<QVariantMap> workspace = formWorkspace()) {
        m_wId = workspace->value(QStringLiteral("id")).toString();
        m_workspaceName = workspace->value(QStringLiteral("name")).toString();
        logLines({QStringLiteral("Workspace ID"), m_wId});
        m_domains->request(m_wId);
    }
    if (!m_destinationURL.isEmpty()) {
        m_textDestination->setText(m_destinationURL);
        controlTextDidChange();
        askForSlug();
    }
}

void NewLink2Controller::setExpandedVisible(bool visible)
{
    for (QWidget *part : std::initializer_list<QWidget *>{m_domainBox, m_slugBox, m_titleBox,
                                                          m_submitBtn, m_footer})
        part->setVisible(visible);
    m_fakeSubmitBtn->setVisible(!visible);
    m_hintLabel->setVisible(!visible);
}

void NewLink2Controller::controlTextDidChange()
{
    const QString typed = m_textDestination->text();
    const QString trimmed = typed.trimmed();
    if (trimmed != typed) {
        const int cursor = m_textDestination->cursorPosition();
        m_textDestination->setText(trimmed);
        m_textDestination->setCursorPosition(std::min<int>(cursor, trimmed.size()));
    }
    m_textDestination->setToolTip(ElidedLabel::plainToolTip(trimmed));
    m_destinationErrorLabel->hide();
    const bool valid = Validation::isValidUrl(trimmed);
    setDestinationBorder(valid);
    m_fakeSubmitBtn->setEnabled(valid);
    if (m_alreadyOpen)
        m_submitBtn->setEnabled(valid && checkSlashtag(true));
    for (QWidget *part : {m_domainBox, m_slugBox, m_titleBox})
        part->setEnabled(valid || !m_alreadyOpen);
}

void NewLink2Controller::submit()
{
    if (m_alreadyOpen)
        createBrandedLink();
    else
        askForSlug();
}

void NewLink2Controller::askForSlug()
{
    const QString text = m_textDestination->text();
    if (!Validation::isValidUrl(text)) {
        m_submitBtn->setEnabled(false);
        for (QWidget *part : {m_domainBox, m_slugBox, m_titleBox})
            part->setEnabled(false);
        setDestinationBorder(false);
        logLines({QStringLiteral("Not a valid url")});
        return;
    }
    m_alreadyOpen = true;
    if (!m_hasExpanded) {
        m_hasExpanded = true;
        setExpandedVisible(true);
        setFixedFormHeight(expandedHeight);
    }
    clearErrors();
    m_submitBtn->setEnabled(true);
    setDestinationBorder(true);
    for (QWidget *part : {m_domainBox, m_slugBox, m_titleBox})
        part->setEnabled(true);
    m_textSlug->clear();
    m_textTitle->clear();
    m_textSlug->setPlaceholderText(QStringLiteral("Generating..."));
    m_textTitle->setPlaceholderText(QStringLiteral("Generating..."));
    logLines({QStringLiteral("sent new branded link")});
    const QString destination = destinationFor(text);
    if (!SettingsStore::shared().boolForKey(Preferences::skipDuplicateCheck) && !m_external) {
        logLines({QStringLiteral("skip rebranding if exists")});
        ApiManager::shared().searchLinksByDestination(
            PercentEncoding::urlHostAllowed(destination),
            m_wId.isEmpty() ? std::nullopt : std::optional<QString>(m_wId),
            [self = QPointer(this)](const std::optional<QJsonArray> &links) {
                if (self)
                    self->duplicatesFound(links);
            });
    }
    const int round = ++m_round;
    Utils::requestTitleSuggestion(destination, m_wId,
                                  [self = QPointer(this), round](std::optional<QString> title) {
                                      if (self)
                                          self->titleProposed(round, title);
                                  });
    SlugHandler::suggestSlashtagForForm(
        destination, [self = QPointer(this), round](std::optional<QString> slashtag) {
            if (self)
                self->slashtagProposed(round, slashtag);
        });
}

void NewLink2Controller::duplicatesFound(const std::optional<QJsonArray> &links)
{
    if (links && !links->isEmpty()) {
        NotificationHandler::showDuplicatedNotification();
        return;
    }
    logLines({QStringLiteral("NOT DUPLOCATED")});
}

void NewLink2Controller::titleProposed(int round, const std::optional<QString> &title)
{
    if (round != m_round)
        return;
    m_textTitle->setPlaceholderText(QStringLiteral("Title"));
    m_textTitle->setText(title.value_or(QString()));
}

void NewLink2Controller::slashtagProposed(int round, const std::optional<QString> &slashtag)
{
    if (round != m_round)
        return;
    // Without a proposal the field stays empty and the service makes one up.
    m_textSlug->setText(slashtag.value_or(QString()));
    m_textSlug->setReadOnly(false);
    m_textSlug->setPlaceholderText(slashtag ? QStringLiteral("Slashtag (eg. card)")
                                            : QStringLiteral("no slug"));
    checkSlashtag(true);
}

void NewLink2Controller::createBrandedLink()
{
    if (!Validation::isValidUrl(m_textDestination->text()) || !checkSlashtag(true) ||
        !m_submitBtn->isEnabled())
        return;
    clearErrors();
    m_submitBtn->setEnabled(false);
    const QString title = m_textTitle->text().trimmed();
    Utils::createLink(destinationFor(m_textDestination->text()),
                      title.isEmpty() ? std::nullopt : std::optional<QString>(title),
                      m_textSlug->text(), m_domains->domainId(),
                      m_wId.isEmpty() ? std::nullopt : std::optional<QString>(m_wId),
                      [self = QPointer(this)](const QString &property, const QString &message) {
                          if (self)
                              self->creationRefused(property, message);
                      });
    if (!m_accountId.isEmpty() && !m_wId.isEmpty() && !m_domains->domainId().isEmpty())
        DefaultHelper::saveWorkspaceDomainPair(m_domains->domainId(), m_wId, m_accountId);
}

void NewLink2Controller::creationRefused(const QString &property, const QString &message)
{
    showFieldError(property, message);
}

void NewLink2Controller::domainsStep()
{
    QTimer::singleShot(kRememberedDomainDelayMs, this,
                       &NewLink2Controller::restoreRememberedDomain);
}

void NewLink2Controller::restoreRememberedDomain()
{
    const std::optional<WorkspaceDomainPair> pair = WorkspaceDomainPair::find(
        WorkspaceDomainPair::stored(SettingsStore::shared()), m_accountId, m_wId);
    if (pair && m_domains->select(pair->domain)) {
        logLines({QStringLiteral("DOMAIN ID: ") + pair->domain});
        return;
    }
    logLines({QStringLiteral("NOT FOUND")});
}

void NewLink2Controller::domainChosen()
{
    SettingsStore &store = SettingsStore::shared();
    // The automatic domain must belong to the automatic workspace, or every automatic rebrand
    // would be refused; a form for another workspace leaves it alone.
    const std::optional<QVariantMap> automatic =
        store.dictionaryForKey(Preferences::workspaceObjectAutoReplace);
    if (automatic && !m_wId.isEmpty() && automatic->value(QStringLiteral("id")) == m_wId) {
        store.setData(Preferences::domainObjectAutoReplace,
                      Domain{m_domains->domainName(), m_domains->domainId()}.encoded());
        store.synchronize();
    }
    // The slashtag proposal depends on the domain.
    if (m_alreadyOpen)
        askForSlug();
}
