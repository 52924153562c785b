#include "Controllers/LinkForms/LinkFormDomains.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Controllers/LinkForms/Domains2Controller.h"
#include "Services/ApiManager.h"
#include "Utils/DefaultHelper.h"
#include "Views/ElidedLabel.h"

#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Costants;

LinkFormDomains::LinkFormDomains(QPushButton *textDomain, QObject *parent)
    : QObject(parent)
    , m_textDomain(textDomain)
{
    NotificationCenter &center = NotificationCenter::shared();
    center.addObserver(this, NotificationViews::domainSelection,
                       [this](const Notification &n) { changeDomainWithNotification(n); });
    center.addObserver(this, NotificationViews::domainsList,
                       [this](const Notification &n) { changeDomainsWithNotification(n); });
}

LinkFormDomains::~LinkFormDomains()
{
    NotificationCenter::shared().removeObserver(this);
    delete m_popoverDomains.data();
}

void LinkFormDomains::request(const QString &workspaceId)
{
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() == InternetStatus::notReachable)
        return domainsLoaded(std::nullopt);
    api.getDomains(workspaceId,
                   [self = QPointer(this)](const std::optional<QJsonArray> &list, int) {
                       if (self)
                           self->domainsLoaded(list);
                   });
}

void LinkFormDomains::domainsLoaded(const std::optional<QJsonArray> &list)
{
    Logger::shared().log({QStringLiteral("setting domains")});
    m_domainsNames.clear();
    m_domainsList.clear();
    m_baseDomains.clear();
    for (const QJsonValue &value : list.value_or(QJsonArray())) {
        const QJsonObject domain = value.toObject();
        if (domain.value(QLatin1String("active")) != QJsonValue(true))
            continue;
        const QString name = domain.value(QLatin1String("fullName")).toString();
        const QString id = domain.value(QLatin1String("id")).toString();
        m_domainsNames.append(name);
        m_domainsList.append(domain);
        m_baseDomains.append(baseDomain{name, id});
        if (m_domainId.isEmpty())
            setShown(name, id);
    }
    if (list)
        DefaultHelper::updateDomainNames(*list);
    m_has1Domain = m_baseDomains.size() < 2;
    m_textDomain->setEnabled(!m_has1Domain);
    showNames(m_domainsNames);
    if (m_picker) {
        // A picker made for a smaller or larger list is made again on the next opening.
        const bool searchable = qobject_cast<Domains2Controller *>(m_picker) != nullptr;
        if (searchable == (m_domainsNames.size() >= searchableFrom))
            m_picker->setDomains(m_domainsNames);
        else
            delete m_popoverDomains.data();
    }
    emit loaded();
}

void LinkFormDomains::showNames(const QStringList &names)
{
    m_shownBaseDomains.clear();
    for (const QString &name : names) {
        for (const baseDomain &domain : std::as_const(m_baseDomains)) {
            if (domain.name == name) {
                m_shownBaseDomains.append(domain);
                break;
            }
        }
    }
}

bool LinkFormDomains::select(const QString &domainId)
{
    for (const baseDomain &domain : std::as_const(m_baseDomains)) {
        if (domain.domainId == domainId) {
            setShown(domain.name, domain.domainId);
            return true;
        }
    }
    return false;
}

void LinkFormDomains::setShown(const QString &name, const QString &domainId)
{
    m_domainId = domainId;
    m_textDomain->setText(name);
    m_textDomain->setToolTip(ElidedLabel::plainToolTip(name));
}

QString LinkFormDomains::domainName() const
{
    return m_textDomain->text();
}

bool LinkFormDomains::isMenuOpen() const
{
    return m_popoverDomains && m_popoverDomains->isVisible();
}

void LinkFormDomains::openDomainMenu()
{
    if (isMenuOpen())
        return closeDomainMenu();
    if (m_has1Domain)
        return;
    if (!m_popoverDomains) {
        // A popup closes by itself on a click outside it.
        m_popoverDomains = new QFrame(m_textDomain->window(), Qt::Popup);
        m_popoverDomains->setObjectName(QStringLiteral("popoverDomains"));
        m_popoverDomains->setFrameShape(QFrame::Box);
        m_popoverDomains->setStyleSheet(QStringLiteral(
            "QFrame#popoverDomains { background: white; border: 1px solid #DDDDDD; }"));
        auto *layout = new QVBoxLayout(m_popoverDomains);
        layout->setContentsMargins(1, 1, 1, 1);
        if (m_domainsNames.size() >= searchableFrom)
            m_picker = new Domains2Controller(m_domainsNames, m_popoverDomains);
        else
            m_picker = new DomainsController(m_domainsNames, m_popoverDomains);
        layout->addWidget(m_picker);
        showNames(m_domainsNames);
    }
    m_popoverDomains->adjustSize();
    m_popoverDomains->move(m_textDomain->mapToGlobal(QPoint(0, m_textDomain->height())));
    m_popoverDomains->show();
    if (auto *searchable = qobject_cast<Domains2Controller *>(m_picker))
        searchable->setFocus();
}

void LinkFormDomains::closeDomainMenu()
{
    if (m_popoverDomains)
        m_popoverDomains->hide();
}

void LinkFormDomains::changeDomainWithNotification(const Notification &notification)
{
    if (!m_picker || notification.object != m_picker)
        return;
    Logger::shared().log({QStringLiteral("received change domain")});
    const int index = notification.userInfo.value(NotificationViews::domainSelectionIndex).toInt();
    Logger::shared().log({QStringLiteral("new index: ") + QString::number(index)});
    closeDomainMenu();
    if (index < 0 || index >= m_shownBaseDomains.size())
        return;
    const baseDomain chosenDomain = m_shownBaseDomains.at(index);
    setShown(chosenDomain.name, chosenDomain.domainId);
    emit chosen();
}

void LinkFormDomains::changeDomainsWithNotification(const Notification &notification)
{
    if (!m_picker || notification.object != m_picker)
        return;
    Logger::shared().log({QStringLiteral("received change domains")});
    showNames(notification.userInfo.value(NotificationViews::domainsList).toStringList());
}
