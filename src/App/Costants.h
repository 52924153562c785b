#pragma once

#include <QString>
#include <QStringList>

// The literals that connect the parts of the program: settings keys, notification names,
// user-info keys and fixed texts. Each is defined once, here.
namespace Costants {

namespace NotificationViews {
inline const QString togglePopover = QStringLiteral("qv-toggle-popover");
inline const QString togglePopoverOpen = QStringLiteral("qv-toggle-popover-open");
inline const QString closePopover = QStringLiteral("qv-close-popover");
inline const QString mainPopover = QStringLiteral("qv-main-popover");
inline const QString forceMainPopover = QStringLiteral("qv-force-main-popover");
inline const QString mainPopoverClose = QStringLiteral("qv-main-popover-close");
inline const QString changeInternetReachability = QStringLiteral("qv-change-internet-reachability");
inline const QString logout = QStringLiteral("qv-logout");
inline const QString resetDefault = QStringLiteral("qv-reset-default");
inline const QString resetPopoverControllers = QStringLiteral("qv-reset-popover-controllers");
inline const QString newLinkPopover = QStringLiteral("qv-newlink-popover");
inline const QString newLinkPopoverExternal = QStringLiteral("qv-newlink-popover-external");
inline const QString newsEditLinkPopover = QStringLiteral("qv-news-editlink-popover");
inline const QString newsEditLinkPopoverExternal =
    QStringLiteral("qv-news-editlink-popover-external");
inline const QString editLinkPopover = QStringLiteral("qv-editlink-popover");
inline const QString closeEditLinkPopover = QStringLiteral("qv-close-editlink-popover");
inline const QString newLinkCreated = QStringLiteral("qv-new-link-created");
inline const QString resetListLinks = QStringLiteral("qv-reset-list-links");
inline const QString workspaceSelection = QStringLiteral("qv-workspace-selection");
inline const QString workspaceSelectionIndex = QStringLiteral("qv-workspace-selection-index");
// The chosen workspace's id, which the list resolves the choice by.
inline const QString workspaceSelectionId = QStringLiteral("qv-workspace-selection-id");
inline const QString workspaceClosePopover = QStringLiteral("qv-workspace-close-popover");
inline const QString domainSelection = QStringLiteral("qv-domain-selection");
inline const QString domainSelectionIndex = QStringLiteral("qv-domain-selection-index");
inline const QString domainsList = QStringLiteral("qv-domains-list");
inline const QString closeSharePopup = QStringLiteral("close-share-popup");
inline const QString closeQrPopup = QStringLiteral("close-qr-popup");
inline const QString closeWindowOauth = QStringLiteral("qv-close-window-oauth");
inline const QString closeOauthWebview = QStringLiteral("qv-close-oauth-webview");
// Watching the clipboard was paused or resumed; the tray icon follows.
inline const QString watchingPauseChanged = QStringLiteral("qv-watching-pause-changed");
} // namespace NotificationViews

// User-info keys of "qv-change-internet-reachability".
namespace InternetReachability {
inline const QString previousInternetStatus = QStringLiteral("previousInternetStatus");
inline const QString currentInternetStatus = QStringLiteral("currentInternetStatus");
} // namespace InternetReachability

// Settings keys of the shared store.
namespace Preferences {
inline const QString appDefaultSet = QStringLiteral("qv-app-default-set");
inline const QString startup = QStringLiteral("qv-preferences-startup");
inline const QString contextualMenu = QStringLiteral("qv-preferences-contextualMenu");
inline const QString automaticCopy = QStringLiteral("qv-preferences-automaticCopy");
inline const QString skipDuplicateCheck = QStringLiteral("qv-preferences-skipDuplicate-check");
inline const QString notificationBrandedLink =
    QStringLiteral("qv-preferences-notification-branded-link");
inline const QString optionActive = QStringLiteral("qv-option-active");
inline const QString optionSlashtagRebrand = QStringLiteral("qv-option-slashtag-rebrand");
inline const QString dontAskLaunchLogin = QStringLiteral("qv-preferences-dont-ask-launch-login");
inline const QString accessToken = QStringLiteral("access_token");
inline const QString tokenType = QStringLiteral("token_type");
inline const QString expiresAt = QStringLiteral("expires_at");
inline const QString refreshToken = QStringLiteral("refresh_token");
inline const QString expiresIn = QStringLiteral("expires_in");
inline const QString userId = QStringLiteral("qv-preference-user-id");
inline const QString fullName = QStringLiteral("fullName");
inline const QString email = QStringLiteral("email");
inline const QString workspaceObjectMainView = QStringLiteral("workspaceObjectMainView");
inline const QString workspaceObjectAutoReplace = QStringLiteral("workspaceObjectAutoReplace");
inline const QString domainObjectAutoReplace = QStringLiteral("domainObjectAutoReplace");
inline const QString domainNames = QStringLiteral("domainNames");
inline const QString workspaceIdsListToCheckDomains =
    QStringLiteral("workspaceIdsListToCheckDomains");
inline const QString workspaceIdsListCheckedDomains =
    QStringLiteral("workspaceIdsListCheckedDomains");
inline const QString accountWorkspacePairs = QStringLiteral("qv-account-workspace-pairs");
inline const QString lastBrandedLinkStored = QStringLiteral("qv-last-branded-link-stored");
// Date until which copied addresses are not handed on; absent while watching.
inline const QString watchingPausedUntil = QStringLiteral("qv-watching-paused-until");
// Set once the first start has shown the user where the program lives.
inline const QString firstStartHintShown = QStringLiteral("qv-first-start-hint-shown");
inline const QString destinationURL = QStringLiteral("destinationURL");
inline const QString lastChange = QStringLiteral("lastChange");
inline const QString newDestination = QStringLiteral("qv-preference-new-destination");
inline const QString editLinkId = QStringLiteral("qv-preference-edit-link-id");
inline const QString editWorkspaceId = QStringLiteral("qv-preference-edit-workspace-id");
inline const QString oldUrl = QStringLiteral("qv-preference-old-url");
inline const QString lastUpdateDayChecked = QStringLiteral("qv-last-update-day-checked");
inline const QString updateMandatoryRequested =
    QStringLiteral("quorvella-update-mandatory-requested");
inline const QString updaterUpdating = QStringLiteral("qv-updater-updating");
inline const QString storedAppZipPath = QStringLiteral("qv-stored-app-zip-path");
// What the program expects of the next update request, written just before the hand-off: a
// one-time token the request must carry, the folder to be updated and the version it runs.
inline const QString updaterToken = QStringLiteral("qv-updater-token");
inline const QString updaterInstallFolder = QStringLiteral("qv-updater-install-folder");
inline const QString updaterInstalledVersion = QStringLiteral("qv-updater-installed-version");
// The version the hand-off was for: the next start greets only when it runs that version.
inline const QString updaterAnnouncedVersion = QStringLiteral("qv-updater-announced-version");
// Host patterns whose copied addresses are never rebranded; a choice of the user, so sign-out
// keeps it.
inline const QString neverRebrandHosts = QStringLiteral("qv-preferences-never-rebrand-hosts");
// Kept in the standard store, not the shared one.
inline const QString crashOnExceptions = QStringLiteral("NSApplicationCrashOnExceptions");

// What sign-out removes, in one pass and in this order. "qv-app-default-set" stays, so the
// first-run defaults are not written again.
inline const QStringList signOutKeys = {lastBrandedLinkStored,
                                        destinationURL,
                                        lastChange,
                                        workspaceObjectMainView,
                                        workspaceObjectAutoReplace,
                                        domainObjectAutoReplace,
                                        fullName,
                                        email,
                                        accessToken,
                                        tokenType,
                                        expiresAt,
                                        expiresIn,
                                        refreshToken,
                                        domainNames,
                                        workspaceIdsListToCheckDomains,
                                        workspaceIdsListCheckedDomains,
                                        dontAskLaunchLogin,
                                        userId};

namespace OptionsRebrand {
inline const QString notification = QStringLiteral("qv-option-notification");
inline const QString autoRebrand = QStringLiteral("qv-option-autoRebrand");
inline const QString askEditLink = QStringLiteral("qv-option-ask-edit-link");
inline const QString doNothing = QStringLiteral("qv-option-doNothing");
inline const QString dialogueBox = QStringLiteral("qv-option-dialogueBox");
// In the order the preferences offer them.
inline const QStringList rebrandOptions = {notification, autoRebrand, askEditLink, doNothing,
                                           dialogueBox};
inline const QString defaultRebrandOption = notification;

inline const QString slashtagShortest = QStringLiteral("qv-option-slashtag-shortest");
inline const QString slashtagRandom = QStringLiteral("qv-option-slashtag-random");
inline const QString slashtagSuggested = QStringLiteral("qv-option-slashtag-suggested");
inline const QString slashtagSuggestedDash = QStringLiteral("qv-option-slashtag-suggested-dash");
inline const QString slashtagSuggestedCamelcase =
    QStringLiteral("qv-option-slashtag-suggested-camelcase");
inline const QStringList slashtagOptions = {slashtagShortest, slashtagRandom, slashtagSuggested,
                                            slashtagSuggestedDash, slashtagSuggestedCamelcase};
} // namespace OptionsRebrand
} // namespace Preferences

// The registered OAuth client and the authorization server's paths.
namespace Oauth {
inline const QString clientId = QStringLiteral("5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3");
inline const QString clientSecret = QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8");
inline const QString redirectUri = QStringLiteral("https://localhost/oauth");
inline const QString authorizePath = QStringLiteral("/connect/authorize");
inline const QString tokenPath = QStringLiteral("/connect/token");
inline const QString logoutPath = QStringLiteral("/account/logout");
} // namespace Oauth

// Paths and page sizes of the service's REST API, the recommendation service and the
// download host.
namespace API {
inline const QString pluginsPath = QStringLiteral("/plugins");
inline const QString titleRecommendPath =
    QStringLiteral("/v1/recommendation-system/title/recommend");
inline const QString slashtagRecommendPath =
    QStringLiteral("/v1/recommendation-system/slashtag/recommend");
inline const QString versionsPath = QStringLiteral("/apps/macapp/versions.json");
inline const QString pageSize = QStringLiteral("15");
inline const QString destinationPageSize = QStringLiteral("10");
namespace Account {
inline const QString account = QStringLiteral("/account");
inline const QString domains = QStringLiteral("/account/domains");
} // namespace Account
namespace Workspace {
inline const QString workspaces = QStringLiteral("/workspaces?orderBy=name&orderDir=asc");
} // namespace Workspace
namespace Domain {
inline const QString activeDomains =
    QStringLiteral("/domains?detaching=false&deleting=false&detached=false&active=true");
} // namespace Domain
namespace Links {
inline const QString links = QStringLiteral("/links");
inline const QString search = QStringLiteral("/search?limit=");
inline const QString searchByDestination =
    QStringLiteral("/links/search?searchBy=destination&term=");
inline const QString favourite = QStringLiteral("/favourite");
} // namespace Links
} // namespace API

// The identifier and user-info of the result notifications.
namespace NotificationInfos {
inline const QString copiedLinkIdentifier = QStringLiteral("qv-copied-link");
inline const QString userLoginKey = QStringLiteral("user-login");
inline const QString userLogged = QStringLiteral("user-logged");
inline const QString typeKey = QStringLiteral("qv-notification-type");
inline const QString typeBrandedSuccess = QStringLiteral("qv-notification-type-branded-success");
inline const QString typeCopied = QStringLiteral("qv-notification-type-copied");
inline const QString idKey = QStringLiteral("id");
// The workspace the link was made in, which the editor must ask for it.
inline const QString workspaceIdKey = QStringLiteral("qv-notification-workspace-id");
// The rebrand question for a link copied while signed out.
inline const QString rebrandQuestionIdentifierPrefix = QStringLiteral("qv-rebrand-link-changeid-");
inline const QString behaviorKey = QStringLiteral("qv-notification-behavior");
inline const QString behaviorOpenModal = QStringLiteral("qv-notification-behavior-open-modal");
inline const QString behaviorOpenEditModal =
    QStringLiteral("qv-notification-behavior-open-edit-modal");
inline const QString behaviorRebrand = QStringLiteral("qv-notification-behavior-rebrand");
} // namespace NotificationInfos

// Texts of the desktop notifications.
namespace LocalNotification {
inline const QString errorTitle = QStringLiteral("Oooops!");
inline const QString errorDefaultMessage = QStringLiteral("Something went wrong");
inline const QString errorTryLater = QStringLiteral(". Try later.");
inline const QString offlineMessage = QStringLiteral("No internet connection, nothing was sent");
inline const QString noAnswerMessage = QStringLiteral("The service did not answer");
inline const QString slowDownTitle = QStringLiteral("Slowing down");
// %1: the seconds the service asked to wait.
inline const QString slowDownMessage =
    QStringLiteral("The service asks Quorvella to slow down. It will try again in %1 seconds.");
inline const QString oldLinkKeptMessage =
    QStringLiteral("The new link is made, but the old one could not be deleted");
inline const QString linkRebrandedTitle = QStringLiteral("Link rebranded \u2728");
inline const QString linkCopiedTitle = QStringLiteral("Link copied \u2728");
inline const QString linkUpdatedTitle = QStringLiteral("Link updated \u2728");
inline const QString linkDeletedTitle = QStringLiteral("Link deleted");
inline const QString linkDuplicatedTitle = QStringLiteral("Link duplicated");
inline const QString linkDuplicatedText = QStringLiteral("Branded link already exists");
inline const QString editButton = QStringLiteral("Edit");
inline const QString closeButton = QStringLiteral("Close");
inline const QString rebrandQuestionTitle = QStringLiteral("Do you want to rebrand this link?");
// Undoing an automatic rebrand.
inline const QString undoAction = QStringLiteral("undo");
inline const QString undoButton = QStringLiteral("Undo");
inline const QString undoDeleteFailedMessage = QStringLiteral("The link could not be deleted");
inline const QString undoRefusedTitle = QStringLiteral("Rebrand not undone");
inline const QString undoExpiredText =
    QStringLiteral("A rebrand can be undone for two minutes only; the link stays.");
inline const QString undoSignedOutText =
    QStringLiteral("You signed out since the link was made; the link stays.");
// The first start without a tray icon to open.
inline const QString firstStartIdentifier = QStringLiteral("qv-first-start");
inline const QString firstStartTitle = QStringLiteral("Quorvella is running");
inline const QString firstStartText =
    QStringLiteral("It runs in the background and watches your clipboard. No system tray was "
                   "found: click here, or start Quorvella again, to open it and sign in.");
inline const QString undoEditedText =
    QStringLiteral("The link was edited since it was made; it stays as you edited it.");
// The desktop entry that lends the notifications our name and icon.
inline const QString desktopEntry = QStringLiteral("com.quorvella.desktop.Quorvella");
inline const QString applicationName = QStringLiteral("Quorvella");
// The installed icon's name in the desktop's icon theme.
inline const QString applicationIcon = QStringLiteral("com.quorvella.desktop.Quorvella");
} // namespace LocalNotification

// The modal dialogues of the rebrand pipeline.
namespace Alerts {
inline const QString alreadyRebranded = QStringLiteral("URL already rebranded!");
inline const QString copyExistingLink = QStringLiteral("Copy existing link");
inline const QString rebrandAgain = QStringLiteral("Rebrand again");
inline const QString cancel = QStringLiteral("Cancel");
inline const QString rebrandQuestion = QStringLiteral("Do you want to Rebrand this link?");
inline const QString rebrand = QStringLiteral("Rebrand");
// The two confirmations of a row's delete action.
namespace DeleteLink {
inline const QString message = QStringLiteral("Delete this link?");
inline const QString informativeLong = QStringLiteral(
    "If you delete this link it won't redirect to the destination URL anymore and any stats will "
    "be lost forever. This is a permanent action and cannot be undone.");
inline const QString informativeShort =
    QStringLiteral("This is a permanent action and cannot be undone.");
inline const QString deleteButton = QStringLiteral("Delete");
inline const QString okButton = QStringLiteral("OK");
} // namespace DeleteLink
inline const QString ok = QStringLiteral("OK");
inline const QString editSlugQuestion = QStringLiteral("Edit the URL slug or branded domain?");
inline const QString editSlugInformative =
    QStringLiteral("Editing this branded link's slug (slashtag)/branded domain will cause all "
                   "previously collected link stats to be lost.");
} // namespace Alerts

// The services entry on the session bus.
namespace ServicesEntry {
inline const QString noTextError = QStringLiteral("Could not find the text for parsing.");
} // namespace ServicesEntry

namespace Version {
inline const QString upToDateMessage = QStringLiteral("You're up to date!");
inline const QString upToDateInformative =
    QStringLiteral("You have the latest version of Quorvella");
// The about pane's check against the plug-in document.
inline const QString needUpdateMessage = QStringLiteral("You need to update your Quorvella app");
inline const QString appUpToDatePrefix = QStringLiteral("Your Quorvella app is up to date - ");
inline const QString thanksInformative = QStringLiteral("Thanks for using Quorvella");
inline const QString fallbackVersion = QStringLiteral("0.1.0");
} // namespace Version

namespace Updater {
inline const QString bundleIdentifier = QStringLiteral("com.quorvella.desktop.macos.Quorvella");
inline const QString updaterAppName = QStringLiteral("QuorvellaUpdater.app");
inline const QString updaterZipName = QStringLiteral("QuorvellaUpdater.zip");
inline const QString programZipName = QStringLiteral("Quorvella.zip");
inline const QString updaterArchivePath = QStringLiteral("/apps/macapp/QuorvellaUpdater.zip");
inline const QString programArchivePath = QStringLiteral("/apps/macapp/Quorvella.zip");
inline const QString requestScheme = QStringLiteral("quorvella-updater");
// Written by the updater beside the archive it was handed once it took the request.
inline const QString acknowledgementName = QStringLiteral("accepted");
} // namespace Updater

namespace Launcher {
inline const QString helperIdentifier =
    QStringLiteral("com.quorvella.desktop.macos.QuorvellaLauncher");
inline const QString mainIdentifier = QStringLiteral("com.quorvella.desktop.macos.Quorvella");
// Where the launcher's bundle lies inside the main bundle: four folders down.
inline const QString bundleRelativePath =
    QStringLiteral("Contents/Library/LoginItems/QuorvellaLauncher");
} // namespace Launcher

// The service's own web pages, opened in the browser.
namespace Dashboard {
inline const QString signUpPath = QStringLiteral("/sign-up");
inline const QString newDomainPath = QStringLiteral("/domains/new");
inline const QString linksPath = QStringLiteral("/links/");
inline const QString accountSettingsPath = QStringLiteral("/account/settings");
inline const QString pricingUrl = QStringLiteral("https://www.quorvella.com/pricing");
inline const QString statusUrl = QStringLiteral("https://status.quorvella.com");
inline const QString supportUrl = QStringLiteral("https://www.quorvella.com/contact");
} // namespace Dashboard

namespace Menu {
inline const QString preferences = QStringLiteral("Preferences...");
inline const QString about = QStringLiteral("About Quorvella");
inline const QString feedback = QStringLiteral("Feedback");
inline const QString pricing = QStringLiteral("Pricing");
inline const QString serviceStatus = QStringLiteral("Service status");
inline const QString checkForUpdates = QStringLiteral("Check for updates");
inline const QString signOut = QStringLiteral("Sign out");
inline const QString quit = QStringLiteral("Quit Quorvella");
inline const QString undoLastRebrand = QStringLiteral("Undo last rebrand");
inline const QString pauseOneHour = QStringLiteral("Pause for 1 hour");
inline const QString pauseUntilTomorrow = QStringLiteral("Pause until tomorrow");
inline const QString resumeWatching = QStringLiteral("Resume watching");
// First in the tray icon's own menu.
inline const QString openQuorvella = QStringLiteral("Open Quorvella");
} // namespace Menu

} // namespace Costants
