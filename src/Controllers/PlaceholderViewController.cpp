#include "Controllers/PlaceholderViewController.h"

#include "ui_PlaceholderViewController.h"

PlaceholderViewController::PlaceholderViewController(const QString &title, const QString &message,
                                                     QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_ui(std::make_unique<Ui::PlaceholderViewController>())
{
    m_ui->setupUi(this);
    m_ui->titleLabel->setText(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
    m_ui->messageLabel->setText(message);
    connect(m_ui->settingsButton, &QToolButton::clicked, this,
            [this] { openSettings(m_ui->settingsButton); });
}

PlaceholderViewController::~PlaceholderViewController() = default;

QString PlaceholderViewController::message() const
{
    return m_ui->messageLabel->text();
}
