// The extension's background: it connects to Orvelle through the native host,
// reports every tab (title, address, opened, changed, closed) and every blocked
// window, and follows the program's switch. While the program is not connected it
// blocks nothing.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;
const HOST = 'org.orvelle.popup_killer';
// Texts are cut to keep every message far below the host's limits.
const MAX_TEXT = 2048;
const RETRY_MS = 10000;

// A user's own gesture (Ctrl, Shift or a middle click, a context menu) lets the new
// tabs of that page open for this long.
const ALLOW_MS = 2000;
const ALLOW_MENU_MS = 15000;

let port = null;
let blocking = false;
let retryTimer = null;
// Per tab, per frame: when its document last committed and when its page script last
// said it runs there. A frame whose script has not spoken since the commit is unguarded:
// a page from before the extension started, or one where the browser runs no content
// scripts (its own restricted sites, for one).
const frames = new Map();
// Until when each tab's new tabs may open because of the user's own gesture.
const allowedUntil = new Map();
// New tabs opened by an unguarded page, cancelled at their first request.
const pendingTargets = new Map();

const frameOf = (tabId, frameId) => {
  if (!frames.has(tabId)) {
    frames.set(tabId, new Map());
  }
  const tab = frames.get(tabId);
  if (!tab.has(frameId)) {
    tab.set(frameId, { committed: 0, guarded: -1 });
  }
  return tab.get(frameId);
};

const isGuarded = (tabId, frameId) => {
  const frame = frames.get(tabId)?.get(frameId);
  return frame !== undefined && frame.guarded >= frame.committed;
};

const text = (value) => (typeof value === 'string' ? value.slice(0, MAX_TEXT) : '');

const describe = (tab) => {
  const entry = {
    id: tab.id,
    window: tab.windowId,
    title: text(tab.title),
    url: text(tab.url ?? tab.pendingUrl),
  };
  if (Number.isInteger(tab.openerTabId)) {
    entry.opener = tab.openerTabId;
  }
  return entry;
};

const send = (message) => {
  if (port === null) {
    return;
  }
  try {
    port.postMessage(message);
  } catch {
    // A port that went away is noticed by its disconnect event.
  }
};

const browserName = async () => {
  if (api.runtime.getBrowserInfo) {
    const info = await api.runtime.getBrowserInfo();
    return `${info.name} ${info.version}`;
  }
  const brands = navigator.userAgentData?.brands ?? [];
  const brand = brands.find((b) => !/Not.?A.?Brand/i.test(b.brand) && b.brand !== 'Chromium') ??
    brands.find((b) => b.brand === 'Chromium');
  return brand ? `${brand.brand} ${brand.version}` : 'Chromium';
};

const sendSnapshot = async () => {
  send({ type: 'hello', browser: text(await browserName()) });
  const windows = await api.windows.getAll({ populate: true });
  const tabs = [];
  for (const window of windows) {
    for (const tab of window.tabs ?? []) {
      tabs.push(describe(tab));
    }
  }
  send({ type: 'windows', tabs });
};

// The page script in every page learns the switch through the storage.
const setBlocking = async (on) => {
  blocking = on;
  await api.storage.local.set({ blocking: on });
};

const onHostMessage = (message) => {
  if (message?.type === 'state') {
    setBlocking(message.blocking === true).catch(() => {});
  } else if (message?.type === 'sync') {
    sendSnapshot().catch(() => {});
  }
};

const connect = () => {
  retryTimer = null;
  if (port !== null) {
    return;
  }
  try {
    port = api.runtime.connectNative(HOST);
  } catch {
    port = null;
    retryTimer = setTimeout(connect, RETRY_MS);
    return;
  }
  port.onMessage.addListener(onHostMessage);
  port.onDisconnect.addListener(() => {
    port = null;
    setBlocking(false).catch(() => {});
    if (retryTimer === null) {
      retryTimer = setTimeout(connect, RETRY_MS);
    }
  });
  // The host asks for the tabs ("sync") once it reaches the program.
};

api.tabs.onCreated.addListener((tab) => send({ type: 'tab', tab: describe(tab) }));
api.tabs.onUpdated.addListener((tabId, change, tab) => {
  if ('title' in change || 'url' in change || change.status === 'complete') {
    send({ type: 'tab', tab: describe(tab), loaded: change.status === 'complete' });
  }
});
api.tabs.onRemoved.addListener((tabId) => {
  pendingTargets.delete(tabId);
  frames.delete(tabId);
  allowedUntil.delete(tabId);
  send({ type: 'closed', id: tabId });
});
api.tabs.onReplaced?.addListener((addedTabId, removedTabId) => {
  send({ type: 'closed', id: removedTabId });
  api.tabs.get(addedTabId).then((tab) => send({ type: 'tab', tab: describe(tab) }), () => {});
});

api.runtime.onMessage.addListener((message, sender) => {
  if (message?.type === 'blocked' && Number.isInteger(sender.tab?.id)) {
    send({ type: 'blocked', tab: sender.tab.id, url: text(message.url) });
  } else if (message?.type === 'guarded' && Number.isInteger(sender.tab?.id)) {
    frameOf(sender.tab.id, sender.frameId ?? 0).guarded = Date.now();
  } else if (message?.type === 'allowed' && Number.isInteger(sender.tab?.id)) {
    allowedUntil.set(sender.tab.id, Date.now() + (message.menu === true ? ALLOW_MENU_MS : ALLOW_MS));
  }
  return false;
});

api.webNavigation.onCommitted.addListener((details) => {
  if (details.frameId === 0) {
    // A new top-level document: the old one's frames are gone with it.
    frames.delete(details.tabId);
  }
  frameOf(details.tabId, details.frameId).committed = Date.now();
});

// The second line, for a frame that has no page script (loaded before the extension
// started, or where the browser put none): a new tab it opens while blocking is
// cancelled at its first request and closed, unless the user's own gesture opened
// it. Only Firefox's copy of the extension may block requests, so only there does
// this get so far.
api.webNavigation.onCreatedNavigationTarget.addListener((details) => {
  if (!blocking) {
    return;
  }
  const guarded = isGuarded(details.sourceTabId, details.sourceFrameId ?? 0);
  const allowed = (allowedUntil.get(details.sourceTabId) ?? 0) >= Date.now();
  if (!guarded && !allowed) {
    pendingTargets.set(details.tabId, details.sourceTabId);
  }
});

try {
  api.webRequest.onBeforeRequest.addListener((details) => {
    const opener = pendingTargets.get(details.tabId);
    if (opener === undefined || !blocking) {
      return {};
    }
    pendingTargets.delete(details.tabId);
    api.tabs.remove(details.tabId).catch(() => {});
    send({ type: 'blocked', tab: opener, url: text(details.url) });
    return { cancel: true };
  }, { urls: ['<all_urls>'], types: ['main_frame'] }, ['blocking']);
} catch {
  // This browser does not let this extension block requests: the page script alone stops
  // new windows.
}

setBlocking(false).catch(() => {}).finally(connect);
