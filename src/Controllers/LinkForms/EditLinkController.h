#pragma once

#include "Controllers/LinkForms/LinkFormView.h"

#include <QPointer>

class QNetworkReply;
class QToolButton;

// The form that changes an existing link: its destination and title in place, or its
// slashtag and domain by replacing it (which loses its statistics, so a link with clicks
// asks first). The update button shows only while something differs from the loaded link.
class EditLinkController : public LinkFormView
{
    Q_OBJECT

public:
    static constexpr int formHeight = 486;

    explicit EditLinkController(QWidget *parent = nullptr);
    ~EditLinkController() override;

    void viewWillAppear() override;

    void linkLoaded(const std::optional<QJsonObject> &link);
    void controlTextDidChange(QLineEdit *field);
    void changeState();
    void suggestTitle();
    void updateBrandedLink();
    void openDashboard();

    [[nodiscard]] QString linkId() const { return m_linkId; }
    // Blanks typed into a slashtag: the leading ones go, the words are joined by "-", and
    // blanks at the end stay as one until the next word; *cursor moves with the text.
    [[nodiscard]] static QString joinedSlashtag(const QString &text, int *cursor);

protected:
    void submit() override;

private:
    void load();
    void requestLink();
    void linkAnswered();
    void linkUnavailable(const QString &message);
    // The slashtag field without the blank that may wait at its end.
    [[nodiscard]] QString slashtag() const;
    void finishSlashtag();
    void replace(const QString &url);
    void updateRefused(const QString &property, const QString &message);

    QToolButton *m_suggestButton;
    QPushButton *m_dashboardButton;
    QPointer<QNetworkReply> m_linkReply;
    QString m_linkId;
    QString m_wId;
    int m_clicks = 0;
    bool m_loaded = false;
    bool m_linkReady = false;
    bool m_linkUnavailable = false;
    QString m_oldURL, m_oldTitle, m_oldSlug, m_oldDomain;
};
