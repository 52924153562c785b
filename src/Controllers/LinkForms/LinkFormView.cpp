#include "Controllers/LinkForms/LinkFormView.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkForms/LinkFormDomains.h"
#include "Services/ApiManager.h"
#include "Views/HeaderTitle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

using namespace Costants;

namespace {

const QString kFieldStyle = QStringLiteral(
    "QLineEdit { border: 1px solid %1; border-radius: 4px; padding: 6px 8px; background: white; }"
    "QLineEdit:focus { border-color: %2; }"
    "QLineEdit:disabled { color: #9A9A9A; background: #F6F7F9; }");
const QString kGrey = QStringLiteral("#DDDDDD");
const QString kRed = QStringLiteral("#FF0000");
const QString kAccent = QStringLiteral("#2563EB");

QString fieldStyle(bool valid)
{
    return kFieldStyle.arg(valid ? kGrey : kRed, valid ? kAccent : kRed);
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #6B6B6B;"));
    return label;
}

QLabel *errorLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setStyleSheet(QStringLiteral("color: #C62828;"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

QIcon caretIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x44, 0x44, 0x44), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF{QPointF(9, 12), QPointF(16, 19), QPointF(23, 12)});
    return QIcon(pixmap);
}

// A box of a label, a field and an error line.
QWidget *fieldBox(const QString &labelText, QWidget *field, QLabel *error, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(secondaryLabel(labelText, box));
    layout->addWidget(field);
    if (error)
        layout->addWidget(error);
    return box;
}

} // namespace

LinkFormView::LinkFormView(const QString &heading, const QString &submitText, QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_layout(new QVBoxLayout(this))
    , m_backButton(new QToolButton(this))
    , m_settingsButton(new QToolButton(this))
    , m_textDestination(new QLineEdit(this))
    , m_destinationErrorLabel(errorLabel(QStringLiteral("destinationErrorLabel"), this))
    , m_domainBox(nullptr)
    , m_textDomain(new QPushButton(this))
    , m_slugBox(nullptr)
    , m_textSlug(new QLineEdit(this))
    , m_slugErrorLabel(errorLabel(QStringLiteral("slugErrorLabel"), this))
    , m_titleBox(nullptr)
    , m_textTitle(new QLineEdit(this))
    , m_titleErrorLabel(errorLabel(QStringLiteral("titleErrorLabel"), this))
    , m_submitBtn(new QPushButton(submitText, this))
    , m_formErrorLabel(errorLabel(QStringLiteral("formErrorLabel"), this))
    , m_footer(new QWidget(this))
    , m_avatarIcon(new QLabel(m_footer))
    , m_accountLabel(new QLabel(m_footer))
    , m_domains(new LinkFormDomains(m_textDomain, this))
    , m_accountId(SettingsStore::shared().stringForKey(Preferences::userId).value_or(QString()))
{
    setFixedWidth(360);
    // White whatever palette the popover hands its content.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("LinkFormView { background: white; }"));
    m_layout->setContentsMargins(12, 8, 12, 0);
    m_layout->setSpacing(12);

    auto *header = new QHBoxLayout;
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_backButton->setText(QStringLiteral("\u2039"));
    m_backButton->setToolTip(QStringLiteral("Back to your links (Esc)"));
    m_backButton->setAccessibleName(QStringLiteral("Back to your links"));
    m_backButton->setAutoRaise(true);
    m_backButton->setCursor(Qt::PointingHandCursor);
    m_backButton->setStyleSheet(QStringLiteral("font-size: 20px; padding: 0 4px;"));
    auto *title = new QLabel(heading, this);
    setHeaderTitleFont(title);
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->setText(QStringLiteral("\u2699"));
    m_settingsButton->setToolTip(QStringLiteral("Settings"));
    m_settingsButton->setAccessibleName(QStringLiteral("Settings"));
    m_settingsButton->setAutoRaise(true);
    m_settingsButton->setCursor(Qt::PointingHandCursor);
    m_settingsButton->setStyleSheet(QStringLiteral("font-size: 18px; color: #444444;"));
    header->addWidget(m_backButton);
    header->addWidget(title, 1);
    header->addWidget(m_settingsButton);
    m_layout->addLayout(header);

    m_textDestination->setObjectName(QStringLiteral("textDestination"));
    m_textDestination->setAccessibleName(QStringLiteral("Destination"));
    m_textDestination->setPlaceholderText(QStringLiteral("Paste or type a long URL"));
    m_textDestination->setStyleSheet(fieldStyle(true));
    m_layout->addWidget(
        fieldBox(QStringLiteral("Destination"), m_textDestination, m_destinationErrorLabel, this));

    m_textDomain->setObjectName(QStringLiteral("textDomain"));
    m_textDomain->setAccessibleName(QStringLiteral("Branded domain"));
    m_textDomain->setCursor(Qt::PointingHandCursor);
    // The caret sits at the right end; it goes when there is nothing to choose.
    auto *caret = new QLabel(m_textDomain);
    caret->setPixmap(caretIcon().pixmap(16, 16));
    auto *caretLayout = new QHBoxLayout(m_textDomain);
    caretLayout->setContentsMargins(0, 0, 10, 0);
    caretLayout->addStretch(1);
    caretLayout->addWidget(caret);
    caret->hide();
    m_textDomain->setStyleSheet(QStringLiteral(
        "QPushButton { text-align: left; border: 1px solid #DDDDDD; border-radius: 4px;"
        " padding: 7px 8px; background: #F6F7F9; }"
        "QPushButton:focus { border-color: #2563EB; }"
        "QPushButton:disabled { color: #444444; }"));
    m_domainBox = fieldBox(QStringLiteral("Branded domain"), m_textDomain, nullptr, this);
    m_layout->addWidget(m_domainBox);

    m_textSlug->setObjectName(QStringLiteral("textSlug"));
    m_textSlug->setAccessibleName(QStringLiteral("Slashtag"));
    m_textSlug->setStyleSheet(fieldStyle(true));
    m_slugBox = fieldBox(QStringLiteral("Slashtag"), m_textSlug, m_slugErrorLabel, this);
    m_layout->addWidget(m_slugBox);

    m_textTitle->setObjectName(QStringLiteral("textTitle"));
    m_textTitle->setAccessibleName(QStringLiteral("Title"));
    m_textTitle->setStyleSheet(fieldStyle(true));
    m_titleBox = fieldBox(QStringLiteral("Title"), m_textTitle, m_titleErrorLabel, this);
    m_layout->addWidget(m_titleBox);

    m_layout->addStretch(1);
    m_layout->addWidget(m_formErrorLabel);
    m_submitBtn->setObjectName(QStringLiteral("submitBtn"));
    m_submitBtn->setCursor(Qt::PointingHandCursor);
    m_submitBtn->setDefault(true);
    m_submitBtn->setStyleSheet(QStringLiteral(
        "QPushButton { background: #2563EB; color: white; border: none; border-radius: 4px;"
        " padding: 9px; font-weight: 600; }"
        "QPushButton:disabled { background: #A9BEF0; }"
        "QPushButton:focus { border: 2px solid #1E40AF; }"));
    m_layout->addWidget(m_submitBtn);

    m_footer->setObjectName(QStringLiteral("boxFooter"));
    m_footer->setStyleSheet(QStringLiteral("QWidget#boxFooter { border-top: 1px solid #DDDDDD; }"));
    auto *footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(0, 8, 0, 8);
    m_avatarIcon->setObjectName(QStringLiteral("avatarIcon"));
    m_avatarIcon->setFixedSize(24, 24);
    m_avatarIcon->setAlignment(Qt::AlignCenter);
    m_avatarIcon->setStyleSheet(
        QStringLiteral("background: #C7D2FE; color: #1E3A8A; border-radius: 12px; font-size: 10px;"
                       " font-weight: 600;"));
    m_avatarIcon->hide();
    m_accountLabel->setObjectName(QStringLiteral("accountLabel"));
    footer->addWidget(m_avatarIcon);
    footer->addWidget(m_accountLabel, 1);
    m_layout->addWidget(m_footer);

    connect(m_backButton, &QToolButton::clicked, this, &LinkFormView::openMainView);
    connect(m_settingsButton, &QToolButton::clicked, this,
            [this] { openSettings(m_settingsButton); });
    connect(m_textDomain, &QPushButton::clicked, m_domains, &LinkFormDomains::openDomainMenu);
    connect(m_domains, &LinkFormDomains::loaded, caret,
            [this, caret] { caret->setVisible(!m_domains->has1Domain()); });
    connect(m_submitBtn, &QPushButton::clicked, this, [this] { submit(); });
    for (QLineEdit *field : {m_textDestination, m_textSlug, m_textTitle})
        connect(field, &QLineEdit::returnPressed, this, [this] { submit(); });
}

QString LinkFormView::destinationFor(const QString &text)
{
    return text.startsWith(QLatin1String("http")) ? text : QStringLiteral("https://") + text;
}

QString LinkFormView::slashtagProblem(const QString &text, bool emptyAllowed)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]*$"));
    if (text.isEmpty())
        return emptyAllowed ? QString() : QStringLiteral("A slashtag needs at least 1 character");
    if (text.size() > 40)
        return QStringLiteral("A slashtag has at most 40 characters");
    if (!allowed.match(text).hasMatch())
        return QStringLiteral("Only letters A-Z, digits, '-' and '_'");
    return {};
}

void LinkFormView::openMainView()
{
    NotificationCenter::shared().post(NotificationViews::togglePopover);
}

void LinkFormView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_domains->isMenuOpen())
            return m_domains->closeDomainMenu();
        return openMainView();
    }
    ViewControllerWithMenuHandler::keyPressEvent(event);
}

void LinkFormView::requestAccount()
{
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() == InternetStatus::notReachable)
        return;
    api.getAccount([self = QPointer(this)](const std::optional<QJsonObject> &account) {
        if (self)
            self->accountLoaded(account);
    });
}

void LinkFormView::accountLoaded(const std::optional<QJsonObject> &account)
{
    if (!account)
        return;
    const QJsonValue id = account->value(QLatin1String("id"));
    if (id.isString()) {
        m_accountId = id.toString();
        Logger::shared().log({QStringLiteral("setting userid")});
        if (CrashReporter *reporter = CrashReporter::shared())
            reporter->setUser(id.toString());
        std::puts("SENTRY: setting user data on");
        std::fflush(stdout);
        SettingsStore::shared().setString(Preferences::userId, id.toString());
        SettingsStore::shared().synchronize();
    }
    const QString name = account->value(QLatin1String("fullName")).toString();
    QString initials;
    for (const QString &part : name.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        initials += part.at(0).toUpper();
    m_avatarIcon->setText(initials.left(2));
    m_avatarIcon->setVisible(!initials.isEmpty());
    m_accountLabel->setText(
        m_workspaceName.isEmpty() ? name : name + QStringLiteral(" \u00B7 ") + m_workspaceName);
}

std::optional<QVariantMap> LinkFormView::formWorkspace() const
{
    SettingsStore &store = SettingsStore::shared();
    if (m_external) {
        const std::optional<QVariantMap> automatic =
            store.dictionaryForKey(Preferences::workspaceObjectAutoReplace);
        if (automatic) {
            store.setDictionary(Preferences::workspaceObjectMainView, *automatic);
            store.synchronize();
        }
    }
    return store.dictionaryForKey(Preferences::workspaceObjectMainView);
}

void LinkFormView::setDestinationBorder(bool valid)
{
    m_textDestination->setStyleSheet(fieldStyle(valid));
}

void LinkFormView::clearErrors()
{
    for (QLabel *label :
         {m_destinationErrorLabel, m_slugErrorLabel, m_titleErrorLabel, m_formErrorLabel})
        label->hide();
    m_textSlug->setStyleSheet(fieldStyle(true));
    m_textTitle->setStyleSheet(fieldStyle(true));
}

void LinkFormView::showFieldError(const QString &property, const QString &message)
{
    Logger::shared().log({QStringLiteral("*********************\n*********************\n")});
    m_submitBtn->setEnabled(true);
    if (message.isEmpty())
        return;
    QLabel *label = m_formErrorLabel;
    if (property == QLatin1String("slashtag")) {
        label = m_slugErrorLabel;
        m_textSlug->setStyleSheet(fieldStyle(false));
    } else if (property == QLatin1String("title")) {
        label = m_titleErrorLabel;
        m_textTitle->setStyleSheet(fieldStyle(false));
    } else if (property == QLatin1String("destination")) {
        label = m_destinationErrorLabel;
        setDestinationBorder(false);
    }
    label->setText(message);
    label->show();
}

bool LinkFormView::checkSlashtag(bool emptyAllowed)
{
    return checkSlashtagText(m_textSlug->text(), emptyAllowed);
}

bool LinkFormView::checkSlashtagText(const QString &text, bool emptyAllowed)
{
    const QString problem = slashtagProblem(text, emptyAllowed);
    m_slugErrorLabel->setText(problem);
    m_slugErrorLabel->setVisible(!problem.isEmpty());
    m_textSlug->setStyleSheet(fieldStyle(problem.isEmpty()));
    return problem.isEmpty();
}

void LinkFormView::setFixedFormHeight(int height)
{
    setFixedHeight(height);
    if (QWidget *popover = window(); popover != this)
        popover->adjustSize();
}
