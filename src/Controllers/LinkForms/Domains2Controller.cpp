#include "Controllers/LinkForms/Domains2Controller.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace Costants;

namespace {
// Shorter texts match nearly every domain; searching them only makes the list jump.
constexpr int kSearchFrom = 3;
} // namespace

Domains2Controller::Domains2Controller(const QStringList &domainsList, QWidget *parent)
    : DomainsController(domainsList, parent)
    , m_allDomains(domainsList)
    , m_textSearch(new QLineEdit(this))
    , m_promoBox(new QLabel(QStringLiteral("Brand your links with your own domain."), this))
{
    setObjectName(QStringLiteral("Domains2Controller"));
    m_textSearch->setObjectName(QStringLiteral("textSearch"));
    m_textSearch->setPlaceholderText(QStringLiteral("Search domains"));
    m_textSearch->setAccessibleName(QStringLiteral("Search domains"));
    m_textSearch->setClearButtonEnabled(true);
    m_textSearch->setStyleSheet(QStringLiteral(
        "QLineEdit { border: 1px solid #DDDDDD; border-radius: 4px; padding: 5px 6px; }"));
    m_layout->insertWidget(0, m_textSearch);
    m_promoBox->setObjectName(QStringLiteral("promoBox"));
    m_promoBox->setStyleSheet(QStringLiteral("color: #6B6B6B;"));
    m_layout->insertWidget(1, m_promoBox);
    m_promoBox->setVisible(m_allDomains.size() < 2);
    connect(m_textSearch, &QLineEdit::textEdited, this, &Domains2Controller::controlTextDidChange);
    connect(m_textSearch, &QLineEdit::returnPressed, this, &Domains2Controller::postSearch);
    m_textSearch->setFocus();
}

void Domains2Controller::setDomains(const QStringList &names)
{
    m_allDomains = names;
    m_promoBox->setVisible(m_allDomains.size() < 2);
    postSearch();
}

void Domains2Controller::controlTextDidChange()
{
    if (m_textSearch->text().size() >= kSearchFrom)
        postSearch();
    else if (m_domainsList != m_allDomains)
        show(m_allDomains);
}

void Domains2Controller::postSearch()
{
    Logger::shared().log({QStringLiteral("sent new search")});
    const QString text = m_textSearch->text();
    QStringList matches;
    for (const QString &name : std::as_const(m_allDomains)) {
        if (name.contains(text))
            matches.append(name);
    }
    // No match: the full list again, rather than an empty picker.
    show(matches.isEmpty() ? m_allDomains : matches);
}

void Domains2Controller::show(const QStringList &names)
{
    DomainsController::setDomains(names);
    NotificationCenter::shared().post(NotificationViews::domainsList, this,
                                      {{NotificationViews::domainsList, names}});
}

void Domains2Controller::openDashboard()
{
    openDashboardPage();
}

void Domains2Controller::showEvent(QShowEvent *event)
{
    DomainsController::showEvent(event);
    // A picker with a search field opens ready for typing.
    m_textSearch->setFocus();
}
