#pragma once

#include "Controllers/ViewControllerWithMenuHandler.h"

#include <QJsonObject>

#include <optional>

class LinkFormDomains;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// What the new-link and edit-link forms share: the header with the way back and the settings,
// the destination, domain, slashtag and title fields with their error lines, the submit button
// and the account footer. Enter submits, Esc goes back to the list.
class LinkFormView : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    // The popover router sets it before the first show.
    Q_PROPERTY(bool external READ external WRITE setExternal)

    [[nodiscard]] bool external() const { return m_external; }
    void setExternal(bool external) { m_external = external; }

    // "https://" in front of a destination typed without a scheme.
    [[nodiscard]] static QString destinationFor(const QString &text);
    // Why the text cannot be a slashtag, or nothing; an empty one lets the service choose.
    [[nodiscard]] static QString slashtagProblem(const QString &text, bool emptyAllowed);

    void openMainView();
    void accountLoaded(const std::optional<QJsonObject> &account);

    [[nodiscard]] LinkFormDomains *domains() const { return m_domains; }

protected:
    LinkFormView(const QString &heading, const QString &submitText, QWidget *parent);

    void keyPressEvent(QKeyEvent *event) override;
    // Enter in any field.
    virtual void submit() = 0;

    void requestAccount();
    // The workspace of the form: the automatic one copied over the list's for an external
    // opening; nothing when none is stored.
    [[nodiscard]] std::optional<QVariantMap> formWorkspace() const;
    void setDestinationBorder(bool valid);
    void showFieldError(const QString &property, const QString &message);
    void clearErrors();
    // The slashtag's own check, shown at once under the field; false when it fails.
    bool checkSlashtag(bool emptyAllowed);
    bool checkSlashtagText(const QString &text, bool emptyAllowed);
    void setFixedFormHeight(int height);

    QVBoxLayout *m_layout;
    QToolButton *m_backButton;
    QToolButton *m_settingsButton;
    QLineEdit *m_textDestination;
    QLabel *m_destinationErrorLabel;
    QWidget *m_domainBox;
    QPushButton *m_textDomain;
    QWidget *m_slugBox;
    QLineEdit *m_textSlug;
    QLabel *m_slugErrorLabel;
    QWidget *m_titleBox;
    QLineEdit *m_textTitle;
    QLabel *m_titleErrorLabel;
    QPushButton *m_submitBtn;
    QLabel *m_formErrorLabel;
    QWidget *m_footer;
    QLabel *m_avatarIcon;
    QLabel *m_accountLabel;
    LinkFormDomains *m_domains;
    QString m_workspaceName;
    // The signed-in account; the stored one until the account answers.
    QString m_accountId;
    bool m_external = false;
};
