#pragma once

#include <QString>
#include <QStringList>

// The literals that connect the parts of the program: settings keys, notification names,
// user-info keys and fixed texts. Each is declared here and defined once in Costants.cpp: a
// definition in this header would have every file that includes it build all of them again at
// start, which made the program about 1 MB of start-up code larger.
namespace Costants {

namespace NotificationViews {
extern const QString togglePopover;
extern const QString togglePopoverOpen;
extern const QString closePopover;
extern const QString mainPopover;
extern const QString forceMainPopover;
extern const QString mainPopoverClose;
extern const QString changeInternetReachability;
extern const QString logout;
extern const QString resetDefault;
extern const QString resetPopoverControllers;
extern const QString newLinkPopover;
extern const QString newLinkPopoverExternal;
extern const QString newsEditLinkPopover;
extern const QString newsEditLinkPopoverExternal;
extern const QString editLinkPopover;
extern const QString closeEditLinkPopover;
extern const QString newLinkCreated;
extern const QString resetListLinks;
extern const QString workspaceSelection;
extern const QString workspaceSelectionIndex;
// The chosen workspace's id, which the list resolves the choice by.
extern const QString workspaceSelectionId;
extern const QString workspaceClosePopover;
extern const QString domainSelection;
extern const QString domainSelectionIndex;
extern const QString domainsList;
extern const QString closeSharePopup;
extern const QString closeQrPopup;
extern const QString closeWindowOauth;
extern const QString closeOauthWebview;
// Watching the clipboard was paused or resumed; the tray icon follows.
extern const QString watchingPauseChanged;
} // namespace NotificationViews

// User-info keys of "qv-change-internet-reachability".
namespace InternetReachability {
extern const QString previousInternetStatus;
extern const QString currentInternetStatus;
} // namespace InternetReachability

// Settings keys of the shared store.
namespace Preferences {
extern const QString appDefaultSet;
extern const QString startup;
extern const QString contextualMenu;
extern const QString automaticCopy;
extern const QString skipDuplicateCheck;
extern const QString notificationBrandedLink;
extern const QString optionActive;
extern const QString optionSlashtagRebrand;
extern const QString dontAskLaunchLogin;
extern const QString accessToken;
extern const QString tokenType;
extern const QString expiresAt;
extern const QString refreshToken;
extern const QString expiresIn;
extern const QString userId;
extern const QString fullName;
extern const QString email;
extern const QString workspaceObjectMainView;
extern const QString workspaceObjectAutoReplace;
extern const QString domainObjectAutoReplace;
extern const QString domainNames;
extern const QString workspaceIdsListToCheckDomains;
extern const QString workspaceIdsListCheckedDomains;
extern const QString accountWorkspacePairs;
extern const QString lastBrandedLinkStored;
// Date until which copied addresses are not handed on; absent while watching.
extern const QString watchingPausedUntil;
// Set once the first start has shown the user where the program lives.
extern const QString firstStartHintShown;
extern const QString destinationURL;
extern const QString lastChange;
extern const QString newDestination;
extern const QString editLinkId;
extern const QString editWorkspaceId;
extern const QString oldUrl;
extern const QString lastUpdateDayChecked;
extern const QString updateMandatoryRequested;
extern const QString updaterUpdating;
extern const QString storedAppZipPath;
// What the program expects of the next update request, written just before the hand-off: a
// one-time token the request must carry, the folder to be updated and the version it runs.
extern const QString updaterToken;
extern const QString updaterInstallFolder;
extern const QString updaterInstalledVersion;
// The version the hand-off was for: the next start greets only when it runs that version.
extern const QString updaterAnnouncedVersion;
// Host patterns whose copied addresses are never rebranded; a choice of the user, so sign-out
// keeps it.
extern const QString neverRebrandHosts;
// Kept in the standard store, not the shared one.
extern const QString crashOnExceptions;

// What sign-out removes, in one pass and in this order. "qv-app-default-set" stays, so the
// first-run defaults are not written again.
extern const QStringList signOutKeys;

namespace OptionsRebrand {
extern const QString notification;
extern const QString autoRebrand;
extern const QString askEditLink;
extern const QString doNothing;
extern const QString dialogueBox;
// In the order the preferences offer them.
extern const QStringList rebrandOptions;
extern const QString defaultRebrandOption;

extern const QString slashtagShortest;
extern const QString slashtagRandom;
extern const QString slashtagSuggested;
extern const QString slashtagSuggestedDash;
extern const QString slashtagSuggestedCamelcase;
extern const QStringList slashtagOptions;
} // namespace OptionsRebrand
} // namespace Preferences

// The registered OAuth client and the authorization server's paths.
namespace Oauth {
extern const QString clientId;
extern const QString clientSecret;
extern const QString redirectUri;
extern const QString authorizePath;
extern const QString tokenPath;
extern const QString logoutPath;
} // namespace Oauth

// Paths and page sizes of the service's REST API, the recommendation service and the
// download host.
namespace API {
extern const QString pluginsPath;
extern const QString titleRecommendPath;
extern const QString slashtagRecommendPath;
extern const QString versionsPath;
extern const QString pageSize;
extern const QString destinationPageSize;
namespace Account {
extern const QString account;
extern const QString domains;
} // namespace Account
namespace Workspace {
extern const QString workspaces;
} // namespace Workspace
namespace Domain {
extern const QString activeDomains;
} // namespace Domain
namespace Links {
extern const QString links;
extern const QString search;
extern const QString searchByDestination;
extern const QString favourite;
} // namespace Links
} // namespace API

// The identifier and user-info of the result notifications.
namespace NotificationInfos {
extern const QString copiedLinkIdentifier;
extern const QString userLoginKey;
extern const QString userLogged;
extern const QString typeKey;
extern const QString typeBrandedSuccess;
extern const QString typeCopied;
extern const QString idKey;
// The workspace the link was made in, which the editor must ask for it.
extern const QString workspaceIdKey;
// The rebrand question for a link copied while signed out.
extern const QString rebrandQuestionIdentifierPrefix;
extern const QString behaviorKey;
extern const QString behaviorOpenModal;
extern const QString behaviorOpenEditModal;
extern const QString behaviorRebrand;
} // namespace NotificationInfos

// Texts of the desktop notifications.
namespace LocalNotification {
extern const QString errorTitle;
extern const QString errorDefaultMessage;
extern const QString errorTryLater;
extern const QString offlineMessage;
extern const QString noAnswerMessage;
extern const QString slowDownTitle;
// %1: the seconds the service asked to wait.
extern const QString slowDownMessage;
extern const QString oldLinkKeptMessage;
extern const QString linkRebrandedTitle;
extern const QString linkCopiedTitle;
extern const QString linkUpdatedTitle;
extern const QString linkDeletedTitle;
extern const QString linkDuplicatedTitle;
extern const QString linkDuplicatedText;
extern const QString editButton;
extern const QString closeButton;
extern const QString rebrandQuestionTitle;
// Undoing an automatic rebrand.
extern const QString undoAction;
extern const QString undoButton;
extern const QString undoDeleteFailedMessage;
extern const QString undoRefusedTitle;
extern const QString undoExpiredText;
extern const QString undoSignedOutText;
// The first start without a tray icon to open.
extern const QString firstStartIdentifier;
extern const QString firstStartTitle;
extern const QString firstStartText;
extern const QString undoEditedText;
// The desktop entry that lends the notifications our name and icon.
extern const QString desktopEntry;
extern const QString applicationName;
// The installed icon's name in the desktop's icon theme.
extern const QString applicationIcon;
} // namespace LocalNotification

// The modal dialogues of the rebrand pipeline.
namespace Alerts {
extern const QString alreadyRebranded;
extern const QString copyExistingLink;
extern const QString rebrandAgain;
extern const QString cancel;
extern const QString rebrandQuestion;
extern const QString rebrand;
// The two confirmations of a row's delete action.
namespace DeleteLink {
extern const QString message;
extern const QString informativeLong;
extern const QString informativeShort;
extern const QString deleteButton;
extern const QString okButton;
} // namespace DeleteLink
extern const QString ok;
extern const QString editSlugQuestion;
extern const QString editSlugInformative;
} // namespace Alerts

// The services entry on the session bus.
namespace ServicesEntry {
extern const QString noTextError;
} // namespace ServicesEntry

namespace Version {
extern const QString upToDateMessage;
extern const QString upToDateInformative;
// The about pane's check against the plug-in document.
extern const QString needUpdateMessage;
extern const QString appUpToDatePrefix;
extern const QString thanksInformative;
extern const QString fallbackVersion;
} // namespace Version

namespace Updater {
extern const QString bundleIdentifier;
extern const QString updaterAppName;
extern const QString updaterZipName;
extern const QString programZipName;
extern const QString updaterArchivePath;
extern const QString programArchivePath;
extern const QString requestScheme;
// Written by the updater beside the archive it was handed once it took the request.
extern const QString acknowledgementName;
} // namespace Updater

namespace Launcher {
extern const QString helperIdentifier;
extern const QString mainIdentifier;
// Where the launcher's bundle lies inside the main bundle: four folders down.
extern const QString bundleRelativePath;
} // namespace Launcher

// The service's own web pages, opened in the browser.
namespace Dashboard {
extern const QString signUpPath;
extern const QString newDomainPath;
extern const QString linksPath;
extern const QString accountSettingsPath;
extern const QString pricingUrl;
extern const QString statusUrl;
extern const QString supportUrl;
} // namespace Dashboard

namespace Menu {
extern const QString preferences;
extern const QString about;
extern const QString feedback;
extern const QString pricing;
extern const QString serviceStatus;
extern const QString checkForUpdates;
extern const QString signOut;
extern const QString quit;
extern const QString undoLastRebrand;
extern const QString pauseOneHour;
extern const QString pauseUntilTomorrow;
extern const QString resumeWatching;
// First in the tray icon's own menu.
extern const QString openQuorvella;
} // namespace Menu

} // namespace Costants
