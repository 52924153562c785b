#include "App/Costants.h"

namespace Costants {
namespace NotificationViews {
const QString togglePopover = QStringLiteral("qv-toggle-popover");
const QString togglePopoverOpen = QStringLiteral("qv-toggle-popover-open");
const QString closePopover = QStringLiteral("qv-close-popover");
const QString mainPopover = QStringLiteral("qv-main-popover");
const QString forceMainPopover = QStringLiteral("qv-force-main-popover");
const QString mainPopoverClose = QStringLiteral("qv-main-popover-close");
const QString changeInternetReachability = QStringLiteral("qv-change-internet-reachability");
const QString logout = QStringLiteral("qv-logout");
const QString resetDefault = QStringLiteral("qv-reset-default");
const QString resetPopoverControllers = QStringLiteral("qv-reset-popover-controllers");
const QString newLinkPopover = QStringLiteral("qv-newlink-popover");
const QString newLinkPopoverExternal = QStringLiteral("qv-newlink-popover-external");
const QString newsEditLinkPopover = QStringLiteral("qv-news-editlink-popover");
const QString newsEditLinkPopoverExternal = QStringLiteral("qv-news-editlink-popover-external");
const QString editLinkPopover = QStringLiteral("qv-editlink-popover");
const QString closeEditLinkPopover = QStringLiteral("qv-close-editlink-popover");
const QString newLinkCreated = QStringLiteral("qv-new-link-created");
const QString resetListLinks = QStringLiteral("qv-reset-list-links");
const QString workspaceSelection = QStringLiteral("qv-workspace-selection");
const QString workspaceSelectionIndex = QStringLiteral("qv-workspace-selection-index");
const QString workspaceSelectionId = QStringLiteral("qv-workspace-selection-id");
const QString workspaceClosePopover = QStringLiteral("qv-workspace-close-popover");
const QString domainSelection = QStringLiteral("qv-domain-selection");
const QString domainSelectionIndex = QStringLiteral("qv-domain-selection-index");
const QString domainsList = QStringLiteral("qv-domains-list");
const QString closeSharePopup = QStringLiteral("close-share-popup");
const QString closeQrPopup = QStringLiteral("close-qr-popup");
const QString closeWindowOauth = QStringLiteral("qv-close-window-oauth");
const QString closeOauthWebview = QStringLiteral("qv-close-oauth-webview");
const QString watchingPauseChanged = QStringLiteral("qv-watching-pause-changed");
} // namespace NotificationViews
namespace InternetReachability {
const QString previousInternetStatus = QStringLiteral("previousInternetStatus");
const QString currentInternetStatus = QStringLiteral("currentInternetStatus");
} // namespace InternetReachability
namespace Preferences {
const QString appDefaultSet = QStringLiteral("qv-app-default-set");
const QString startup = QStringLiteral("qv-preferences-startup");
const QString contextualMenu = QStringLiteral("qv-preferences-contextualMenu");
const QString automaticCopy = QStringLiteral("qv-preferences-automaticCopy");
const QString skipDuplicateCheck = QStringLiteral("qv-preferences-skipDuplicate-check");
const QString notificationBrandedLink = QStringLiteral("qv-preferences-notification-branded-link");
const QString optionActive = QStringLiteral("qv-option-active");
const QString optionSlashtagRebrand = QStringLiteral("qv-option-slashtag-rebrand");
const QString dontAskLaunchLogin = QStringLiteral("qv-preferences-dont-ask-launch-login");
const QString accessToken = QStringLiteral("access_token");
const QString tokenType = QStringLiteral("token_type");
const QString expiresAt = QStringLiteral("expires_at");
const QString refreshToken = QStringLiteral("refresh_token");
const QString expiresIn = QStringLiteral("expires_in");
const QString userId = QStringLiteral("qv-preference-user-id");
const QString fullName = QStringLiteral("fullName");
const QString email = QStringLiteral("email");
const QString workspaceObjectMainView = QStringLiteral("workspaceObjectMainView");
const QString workspaceObjectAutoReplace = QStringLiteral("workspaceObjectAutoReplace");
const QString domainObjectAutoReplace = QStringLiteral("domainObjectAutoReplace");
const QString domainNames = QStringLiteral("domainNames");
const QString workspaceIdsListToCheckDomains = QStringLiteral("workspaceIdsListToCheckDomains");
const QString workspaceIdsListCheckedDomains = QStringLiteral("workspaceIdsListCheckedDomains");
const QString accountWorkspacePairs = QStringLiteral("qv-account-workspace-pairs");
const QString lastBrandedLinkStored = QStringLiteral("qv-last-branded-link-stored");
const QString watchingPausedUntil = QStringLiteral("qv-watching-paused-until");
const QString firstStartHintShown = QStringLiteral("qv-first-start-hint-shown");
const QString destinationURL = QStringLiteral("destinationURL");
const QString lastChange = QStringLiteral("lastChange");
const QString newDestination = QStringLiteral("qv-preference-new-destination");
const QString editLinkId = QStringLiteral("qv-preference-edit-link-id");
const QString editWorkspaceId = QStringLiteral("qv-preference-edit-workspace-id");
const QString oldUrl = QStringLiteral("qv-preference-old-url");
const QString lastUpdateDayChecked = QStringLiteral("qv-last-update-day-checked");
const QString updateMandatoryRequested = QStringLiteral("quorvella-update-mandatory-requested");
const QString updaterUpdating = QStringLiteral("qv-updater-updating");
const QString storedAppZipPath = QStringLiteral("qv-stored-app-zip-path");
const QString updaterToken = QStringLiteral("qv-updater-token");
const QString updaterInstallFolder = QStringLiteral("qv-updater-install-folder");
const QString updaterInstalledVersion = QStringLiteral("qv-updater-installed-version");
const QString updaterAnnouncedVersion = QStringLiteral("qv-updater-announced-version");
const QString neverRebrandHosts = QStringLiteral("qv-preferences-never-rebrand-hosts");
const QString crashOnExceptions = QStringLiteral("NSApplicationCrashOnExceptions");
const QStringList signOutKeys = {lastBrandedLinkStored,
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
const QString notification = QStringLiteral("qv-option-notification");
const QString autoRebrand = QStringLiteral("qv-option-autoRebrand");
const QString askEditLink = QStringLiteral("qv-option-ask-edit-link");
const QString doNothing = QStringLiteral("qv-option-doNothing");
const QString dialogueBox = QStringLiteral("qv-option-dialogueBox");
const QStringList rebrandOptions = {notification, autoRebrand, askEditLink, doNothing, dialogueBox};
const QString defaultRebrandOption = notification;
const QString slashtagShortest = QStringLiteral("qv-option-slashtag-shortest");
const QString slashtagRandom = QStringLiteral("qv-option-slashtag-random");
const QString slashtagSuggested = QStringLiteral("qv-option-slashtag-suggested");
const QString slashtagSuggestedDash = QStringLiteral("qv-option-slashtag-suggested-dash");
const QString slashtagSuggestedCamelcase = QStringLiteral("qv-option-slashtag-suggested-camelcase");
const QStringList slashtagOptions = {slashtagShortest, slashtagRandom, slashtagSuggested,
                                     slashtagSuggestedDash, slashtagSuggestedCamelcase};
} // namespace OptionsRebrand
} // namespace Preferences
namespace Oauth {
const QString clientId = QStringLiteral("5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3");
const QString clientSecret = QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8");
const QString redirectUri = QStringLiteral("https://localhost/oauth");
const QString authorizePath = QStringLiteral("/connect/authorize");
const QString tokenPath = QStringLiteral("/connect/token");
const QString logoutPath = QStringLiteral("/account/logout");
} // namespace Oauth
namespace API {
const QString pluginsPath = QStringLiteral("/plugins");
const QString titleRecommendPath = QStringLiteral("/v1/recommendation-system/title/recommend");
const QString slashtagRecommendPath =
    QStringLiteral("/v1/recommendation-system/slashtag/recommend");
const QString versionsPath = QStringLiteral("/apps/macapp/versions.json");
const QString pageSize = QStringLiteral("15");
const QString destinationPageSize = QStringLiteral("10");
namespace Account {
const QString account = QStringLiteral("/account");
const QString domains = QStringLiteral("/account/domains");
} // namespace Account
namespace Workspace {
const QString workspaces = QStringLiteral("/workspaces?orderBy=name&orderDir=asc");
} // namespace Workspace
namespace Domain {
const QString activeDomains =
    QStringLiteral("/domains?detaching=false&deleting=false&detached=false&active=true");
} // namespace Domain
namespace Links {
const QString links = QStringLiteral("/links");
const QString search = QStringLiteral("/search?limit=");
const QString searchByDestination = QStringLiteral("/links/search?searchBy=destination&term=");
const QString favourite = QStringLiteral("/favourite");
} // namespace Links
} // namespace API
namespace NotificationInfos {
const QString copiedLinkIdentifier = QStringLiteral("qv-copied-link");
const QString userLoginKey = QStringLiteral("user-login");
const QString userLogged = QStringLiteral("user-logged");
const QString typeKey = QStringLiteral("qv-notification-type");
const QString typeBrandedSuccess = QStringLiteral("qv-notification-type-branded-success");
const QString typeCopied = QStringLiteral("qv-notification-type-copied");
const QString idKey = QStringLiteral("id");
const QString workspaceIdKey = QStringLiteral("qv-notification-workspace-id");
const QString rebrandQuestionIdentifierPrefix = QStringLiteral("qv-rebrand-link-changeid-");
const QString behaviorKey = QStringLiteral("qv-notification-behavior");
const QString behaviorOpenModal = QStringLiteral("qv-notification-behavior-open-modal");
const QString behaviorOpenEditModal = QStringLiteral("qv-notification-behavior-open-edit-modal");
const QString behaviorRebrand = QStringLiteral("qv-notification-behavior-rebrand");
} // namespace NotificationInfos
namespace LocalNotification {
const QString errorTitle = QStringLiteral("Oooops!");
const QString errorDefaultMessage = QStringLiteral("Something went wrong");
const QString errorTryLater = QStringLiteral(". Try later.");
const QString offlineMessage = QStringLiteral("No internet connection, nothing was sent");
const QString noAnswerMessage = QStringLiteral("The service did not answer");
const QString slowDownTitle = QStringLiteral("Slowing down");
const QString slowDownMessage =
    QStringLiteral("The service asks Quorvella to slow down. It will try again in %1 seconds.");
const QString oldLinkKeptMessage =
    QStringLiteral("The new link is made, but the old one could not be deleted");
const QString linkRebrandedTitle = QStringLiteral("Link rebranded \u2728");
const QString linkCopiedTitle = QStringLiteral("Link copied \u2728");
const QString linkUpdatedTitle = QStringLiteral("Link updated \u2728");
const QString linkDeletedTitle = QStringLiteral("Link deleted");
const QString linkDuplicatedTitle = QStringLiteral("Link duplicated");
const QString linkDuplicatedText = QStringLiteral("Branded link already exists");
const QString editButton = QStringLiteral("Edit");
const QString closeButton = QStringLiteral("Close");
const QString rebrandQuestionTitle = QStringLiteral("Do you want to rebrand this link?");
const QString undoAction = QStringLiteral("undo");
const QString undoButton = QStringLiteral("Undo");
const QString undoDeleteFailedMessage = QStringLiteral("The link could not be deleted");
const QString undoRefusedTitle = QStringLiteral("Rebrand not undone");
const QString undoExpiredText =
    QStringLiteral("A rebrand can be undone for two minutes only; the link stays.");
const QString undoSignedOutText =
    QStringLiteral("You signed out since the link was made; the link stays.");
const QString firstStartIdentifier = QStringLiteral("qv-first-start");
const QString firstStartTitle = QStringLiteral("Quorvella is running");
const QString firstStartText =
    QStringLiteral("It runs in the background and watches your clipboard. No system tray was "
                   "found: click here, or start Quorvella again, to open it and sign in.");
const QString undoEditedText =
    QStringLiteral("The link was edited since it was made; it stays as you edited it.");
const QString desktopEntry = QStringLiteral("com.quorvella.desktop.Quorvella");
const QString applicationName = QStringLiteral("Quorvella");
const QString applicationIcon = QStringLiteral("com.quorvella.desktop.Quorvella");
} // namespace LocalNotification
namespace Alerts {
const QString alreadyRebranded = QStringLiteral("URL already rebranded!");
const QString copyExistingLink = QStringLiteral("Copy existing link");
const QString rebrandAgain = QStringLiteral("Rebrand again");
const QString cancel = QStringLiteral("Cancel");
const QString rebrandQuestion = QStringLiteral("Do you want to Rebrand this link?");
const QString rebrand = QStringLiteral("Rebrand");
namespace DeleteLink {
const QString message = QStringLiteral("Delete this link?");
const QString informativeLong = QStringLiteral(
    "If you delete this link it won't redirect to the destination URL anymore and any stats will "
    "be lost forever. This is a permanent action and cannot be undone.");
const QString informativeShort = QStringLiteral("This is a permanent action and cannot be undone.");
const QString deleteButton = QStringLiteral("Delete");
const QString okButton = QStringLiteral("OK");
} // namespace DeleteLink
const QString ok = QStringLiteral("OK");
const QString editSlugQuestion = QStringLiteral("Edit the URL slug or branded domain?");
const QString editSlugInformative =
    QStringLiteral("Editing this branded link's slug (slashtag)/branded domain will cause all "
                   "previously collected link stats to be lost.");
} // namespace Alerts
namespace ServicesEntry {
const QString noTextError = QStringLiteral("Could not find the text for parsing.");
} // namespace ServicesEntry
namespace Version {
const QString upToDateMessage = QStringLiteral("You're up to date!");
const QString upToDateInformative = QStringLiteral("You have the latest version of Quorvella");
const QString needUpdateMessage = QStringLiteral("You need to update your Quorvella app");
const QString appUpToDatePrefix = QStringLiteral("Your Quorvella app is up to date - ");
const QString thanksInformative = QStringLiteral("Thanks for using Quorvella");
const QString fallbackVersion = QStringLiteral("0.1.0");
} // namespace Version
namespace Updater {
const QString bundleIdentifier = QStringLiteral("com.quorvella.desktop.macos.Quorvella");
const QString updaterAppName = QStringLiteral("QuorvellaUpdater.app");
const QString updaterZipName = QStringLiteral("QuorvellaUpdater.zip");
const QString programZipName = QStringLiteral("Quorvella.zip");
const QString updaterArchivePath = QStringLiteral("/apps/macapp/QuorvellaUpdater.zip");
const QString programArchivePath = QStringLiteral("/apps/macapp/Quorvella.zip");
const QString requestScheme = QStringLiteral("quorvella-updater");
const QString acknowledgementName = QStringLiteral("accepted");
} // namespace Updater
namespace Launcher {
const QString helperIdentifier = QStringLiteral("com.quorvella.desktop.macos.QuorvellaLauncher");
const QString mainIdentifier = QStringLiteral("com.quorvella.desktop.macos.Quorvella");
const QString bundleRelativePath = QStringLiteral("Contents/Library/LoginItems/QuorvellaLauncher");
} // namespace Launcher
namespace Dashboard {
const QString signUpPath = QStringLiteral("/sign-up");
const QString newDomainPath = QStringLiteral("/domains/new");
const QString linksPath = QStringLiteral("/links/");
const QString accountSettingsPath = QStringLiteral("/account/settings");
const QString pricingUrl = QStringLiteral("https://www.quorvella.com/pricing");
const QString statusUrl = QStringLiteral("https://status.quorvella.com");
const QString supportUrl = QStringLiteral("https://www.quorvella.com/contact");
} // namespace Dashboard
namespace Menu {
const QString preferences = QStringLiteral("Preferences...");
const QString about = QStringLiteral("About Quorvella");
const QString feedback = QStringLiteral("Feedback");
const QString pricing = QStringLiteral("Pricing");
const QString serviceStatus = QStringLiteral("Service status");
const QString checkForUpdates = QStringLiteral("Check for updates");
const QString signOut = QStringLiteral("Sign out");
const QString quit = QStringLiteral("Quit Quorvella");
const QString undoLastRebrand = QStringLiteral("Undo last rebrand");
const QString pauseOneHour = QStringLiteral("Pause for 1 hour");
const QString pauseUntilTomorrow = QStringLiteral("Pause until tomorrow");
const QString resumeWatching = QStringLiteral("Resume watching");
const QString openQuorvella = QStringLiteral("Open Quorvella");
} // namespace Menu
} // namespace Costants
