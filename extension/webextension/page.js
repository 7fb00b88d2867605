// Runs in the page's own world before any of the page's scripts, in every frame,
// and only while Orvelle's popup killer is on (the background script registers it
// then). A new window the page asks for is stopped here, before the browser makes
// a request: window.open, links with a target and forms with a target. A trusted
// event with Ctrl held lets the window open, as does the program's switch turned
// off since this page loaded (the isolated bridge tells that).
(() => {
  'use strict';

  const ASK = 'orvelle-popup-may-open';
  const BLOCKED = 'orvelle-popup-blocked';
  const nativeOpen = window.open;
  const nativeSubmit = HTMLFormElement.prototype.submit;
  const dispatch = EventTarget.prototype.dispatchEvent;
  const CustomEventCtor = window.CustomEvent;
  const stringify = JSON.stringify;

  // Ctrl as the user's own input last showed it, for a script that opens a window
  // from a timer started by a trusted event.
  let ctrlDown = false;
  const trackKeys = (event) => {
    if (event.isTrusted) {
      ctrlDown = event.ctrlKey;
    }
  };
  for (const type of ['keydown', 'keyup', 'mousedown', 'mouseup', 'click']) {
    window.addEventListener(type, trackKeys, true);
  }

  const ctrlHeld = (event) => {
    const current = event ?? window.event;
    if (current && current.isTrusted && typeof current.ctrlKey === 'boolean') {
      return current.ctrlKey;
    }
    return ctrlDown && navigator.userActivation?.isActive === true;
  };

  const mayOpen = (event) => {
    if (ctrlHeld(event)) {
      return true;
    }
    // The bridge cancels this event when the program has turned the killer off.
    const ask = new CustomEventCtor(ASK, { cancelable: true });
    return !dispatch.call(window, ask);
  };

  const report = (url, how) => {
    let address = '';
    try {
      address = url === undefined || url === null || url === '' ? '' : new URL(String(url), document.baseURI).href;
    } catch {
      address = String(url);
    }
    dispatch.call(window, new CustomEventCtor(BLOCKED, { detail: stringify({ url: address, how }) }));
  };

  // What a blocked window.open returns: pages that test or use the window they
  // opened go on without an error.
  const standIn = (url) => {
    const doc = document.implementation.createHTMLDocument('');
    const noop = () => {};
    return Object.freeze({
      closed: true,
      opener: window,
      name: '',
      document: doc,
      location: Object.freeze({ href: String(url ?? ''), assign: noop, replace: noop, reload: noop }),
      close: noop,
      focus: noop,
      blur: noop,
      print: noop,
      stop: noop,
      moveTo: noop,
      moveBy: noop,
      resizeTo: noop,
      resizeBy: noop,
      scrollTo: noop,
      postMessage: noop,
      addEventListener: noop,
      removeEventListener: noop,
    });
  };

  // A target names a new window unless it is this window, its parent or top, or a
  // frame of this document.
  const opensNewWindow = (target) => {
    if (!target) {
      return false;
    }
    const name = String(target).toLowerCase();
    if (name === '_self' || name === '_parent' || name === '_top') {
      return false;
    }
    if (name === '_blank') {
      return true;
    }
    try {
      return !window.frames[target] && window.name !== target;
    } catch {
      return true;
    }
  };

  function open(url, target, features) {
    const named = arguments.length >= 2 && target !== undefined ? String(target) : '_blank';
    if (!opensNewWindow(named) || mayOpen()) {
      return Reflect.apply(nativeOpen, this ?? window, arguments);
    }
    report(url, 'open');
    return standIn(url);
  }
  Object.defineProperty(open, 'name', { value: 'open' });
  window.open = open;

  window.addEventListener('click', (event) => {
    const link = event.target instanceof Element ? event.target.closest('a[target], area[target]') : null;
    if (!link || event.defaultPrevented || !link.href || !opensNewWindow(link.getAttribute('target'))) {
      return;
    }
    if (event.button !== 0 || mayOpen(event)) {
      return;
    }
    event.preventDefault();
    report(link.href, 'link');
  }, true);

  const formTarget = (form, submitter) => {
    return submitter?.getAttribute?.('formtarget') ?? form.getAttribute('target');
  };

  window.addEventListener('submit', (event) => {
    const form = event.target;
    if (!(form instanceof HTMLFormElement) || event.defaultPrevented ||
        !opensNewWindow(formTarget(form, event.submitter)) || mayOpen()) {
      return;
    }
    event.preventDefault();
    report(form.action, 'form');
  }, true);

  // form.submit() sends no submit event.
  HTMLFormElement.prototype.submit = function submit() {
    if (opensNewWindow(formTarget(this, null)) && !mayOpen()) {
      report(this.action, 'form');
      return undefined;
    }
    return Reflect.apply(nativeSubmit, this, arguments);
  };
})();
