#pragma once

#include "Views/ViewController.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QUrl>

#include <memory>

class LocalEventMonitor;
class QPushButton;

// The share popover of a link row: e-mail through the desktop's mail program, and the share
// pages of Facebook, Twitter and LinkedIn in the browser. Every choice closes this popover at
// once and the main popover half a second later, when the site opens.
class ShareController : public ViewController
{
    Q_OBJECT

public:
    enum class Site { Facebook, Twitter, Linkedin };

    // shortURL without scheme; title is the link's title (may be empty).
    ShareController(QString shortURL, QString title, QWidget *parent = nullptr);
    ~ShareController() override;

    [[nodiscard]] static std::unique_ptr<ShareController> create(const QString &shortURL,
                                                                 const QString &title);

    // The first choice takes the keyboard: Tab moves down the list, Enter or Space chooses.
    void viewWillAppear() override;

    void openEmail();
    void openFacebook();
    void openTwitter();
    void openLinkedin();

    void localMatchingEvent(const QPointF &globalPosition);

    [[nodiscard]] const QString &shortURL() const { return m_shortURL; }
    [[nodiscard]] const QString &multiline() const { return m_multiline; }

    [[nodiscard]] static QString emailBody(const QString &title, const QString &shortURL);
    // A "mailto:" address without recipient that carries the subject and the body.
    [[nodiscard]] static QUrl emailURL(const QString &subject, const QString &body);
    // The site's share page for the short URL; invalid when it forms no URL.
    [[nodiscard]] static QUrl shareURL(Site site, const QString &shortURL);
    // What the site's choice posts when it opens.
    [[nodiscard]] static QString notificationFor(Site site);

    static constexpr int delayMs = 500;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildView();
    void shareToSite(Site site);

    QString m_shortURL;
    QString m_multiline;
    QWidget *m_workspaceBackView = nullptr;
    QList<QPushButton *> m_choices;
    std::unique_ptr<LocalEventMonitor> m_eventMonitor;
};
