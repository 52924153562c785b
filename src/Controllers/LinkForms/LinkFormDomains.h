#pragma once

#include "Controllers/LinkForms/DomainsController.h"
#include "Services/baseDomain.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class QFrame;
class QPushButton;
struct Notification;

// The domain half of the link forms: the workspace's active domains, the chosen one shown on
// the domain button, and the picker under it (plain below six domains, searchable from six).
class LinkFormDomains : public QObject
{
    Q_OBJECT

public:
    static constexpr int searchableFrom = 6;

    LinkFormDomains(QPushButton *textDomain, QObject *parent);
    ~LinkFormDomains() override;

    // Asks for the workspace's active domains; offline the domains step runs with nothing.
    void request(const QString &workspaceId);
    // The domains step.
    void domainsLoaded(const std::optional<QJsonArray> &list);
    // Shows the domain on the button; false when it is not among the active domains.
    bool select(const QString &domainId);
    void setShown(const QString &name, const QString &domainId);
    void openDomainMenu();
    void closeDomainMenu();

    [[nodiscard]] QString domainId() const { return m_domainId; }
    [[nodiscard]] QString domainName() const;
    [[nodiscard]] bool has1Domain() const { return m_has1Domain; }
    [[nodiscard]] const QList<baseDomain> &baseDomains() const { return m_baseDomains; }
    [[nodiscard]] DomainsController *picker() const { return m_picker; }
    [[nodiscard]] bool isMenuOpen() const;

signals:
    void loaded();
    void chosen();

private:
    void changeDomainWithNotification(const Notification &notification);
    void changeDomainsWithNotification(const Notification &notification);
    void showNames(const QStringList &names);

    QPushButton *m_textDomain;
    QStringList m_domainsNames;
    QList<QJsonObject> m_domainsList;
    QList<baseDomain> m_baseDomains;
    // The records in the order of the rows the picker shows.
    QList<baseDomain> m_shownBaseDomains;
    QString m_domainId;
    bool m_has1Domain = true;
    QPointer<QFrame> m_popoverDomains;
    QPointer<DomainsController> m_picker;
};
