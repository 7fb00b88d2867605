// The isolated half of the page script: it knows the program's switch (kept in the
// extension's storage by the background script) and carries the page's reports of
// blocked windows to the background script.
(() => {
  'use strict';

  const api = globalThis.browser ?? globalThis.chrome;
  // Unknown until storage answers; the page script waits for it.
  let blocking = null;
  const tell = () => {
    if (blocking !== null) {
      window.dispatchEvent(new CustomEvent('orvelle-popup-state', { detail: blocking ? 'on' : 'off' }));
    }
  };

  api.storage.local.get('blocking').then((stored) => {
    if (blocking === null) {
      blocking = stored.blocking === true;
      tell();
    }
  }, () => {
    blocking = false;
    tell();
  });
  api.storage.onChanged.addListener((changes, area) => {
    if (area === 'local' && 'blocking' in changes) {
      blocking = changes.blocking.newValue === true;
      tell();
    }
  });
  window.addEventListener('orvelle-popup-ask-state', tell, true);
  // The background's second line leaves this frame's new tabs to the page script.
  api.runtime.sendMessage({ type: 'guarded' }).catch(() => {});

  // The user's own ways to open a tab (Ctrl, Shift or a middle click, the context
  // menu): the background script then lets the new tab's request through.
  const allowUserOpen = (event) => {
    if (!event.isTrusted) {
      return;
    }
    if (event.type === 'contextmenu') {
      api.runtime.sendMessage({ type: 'allowed', menu: true }).catch(() => {});
    } else if (event.ctrlKey || event.shiftKey || event.metaKey || event.button === 1) {
      api.runtime.sendMessage({ type: 'allowed' }).catch(() => {});
    }
  };
  for (const type of ['mousedown', 'keydown', 'contextmenu']) {
    window.addEventListener(type, allowUserOpen, true);
  }

  window.addEventListener('orvelle-popup-blocked', (event) => {
    let report = null;
    try {
      report = JSON.parse(String(event.detail));
    } catch {
      return;
    }
    const url = typeof report?.url === 'string' ? report.url.slice(0, 2048) : '';
    api.runtime.sendMessage({ type: 'blocked', url }).catch(() => {});
  }, true);
})();
