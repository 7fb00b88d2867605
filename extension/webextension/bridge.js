// The isolated half of the page script: it knows the program's switch (kept in the
// extension's storage by the background script) and carries the page's reports of
// blocked windows to the background script.
(() => {
  'use strict';

  const api = globalThis.browser ?? globalThis.chrome;
  // Unknown until storage answers: the page script, present only while the killer
  // is on, then blocks.
  let blocking = null;

  api.storage.local.get('blocking').then((stored) => {
    if (blocking === null) {
      blocking = stored.blocking === true;
    }
  }, () => {});
  api.storage.onChanged.addListener((changes, area) => {
    if (area === 'local' && 'blocking' in changes) {
      blocking = changes.blocking.newValue === true;
    }
  });

  window.addEventListener('orvelle-popup-may-open', (event) => {
    if (blocking === false) {
      event.preventDefault();
    }
  }, true);

  // The user's own Ctrl+click: the background script then lets the new tab's
  // request through.
  const allowWithCtrl = (event) => {
    if (event.isTrusted && event.ctrlKey) {
      api.runtime.sendMessage({ type: 'allowed' }).catch(() => {});
    }
  };
  window.addEventListener('mousedown', allowWithCtrl, true);
  window.addEventListener('keydown', allowWithCtrl, true);

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
