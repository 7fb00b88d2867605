// Runs in the page's own world before any of the page's scripts, in every frame.
// While Orvelle's popup killer is on, a new window the page asks for is stopped
// here, before the browser makes a request: window.open, links with a target and
// forms with a target. A trusted event with Ctrl held lets the window open. The
// switch comes from the isolated bridge, which reads it from the extension's
// storage: until it has answered, a window.open waits for the answer (a page's
// window.open while loading; the user's clicks come later).
(() => {
  'use strict';

  const ASK_STATE = 'orvelle-popup-ask-state';
  const STATE = 'orvelle-popup-state';
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

  // 'on', 'off', or 'unknown' until the bridge answers.
  let state = 'unknown';
  const waiting = [];

  // true: open; false: block; null: ask again once the switch is known.
  const mayOpen = (event) => {
    if (ctrlHeld(event)) {
      return true;
    }
    return state === 'unknown' ? null : state === 'off';
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
    const decision = opensNewWindow(named) ? mayOpen() : true;
    if (decision === true) {
      return Reflect.apply(nativeOpen, this ?? window, arguments);
    }
    if (decision === null) {
      waiting.push({ self: this ?? window, args: Array.from(arguments), url });
    } else {
      report(url, 'open');
    }
    return standIn(url);
  }

  window.addEventListener(STATE, (event) => {
    if (event.detail !== 'on' && event.detail !== 'off') {
      return;
    }
    state = event.detail;
    for (const held of waiting.splice(0)) {
      if (state === 'off') {
        Reflect.apply(nativeOpen, held.self, held.args);
      } else {
        report(held.url, 'open');
      }
    }
  }, true);
  // The bridge may have started first: it answers this.
  dispatch.call(window, new CustomEventCtor(ASK_STATE));
  Object.defineProperty(open, 'name', { value: 'open' });
  window.open = open;

  window.addEventListener('click', (event) => {
    const link = event.target instanceof Element ? event.target.closest('a[target], area[target]') : null;
    if (!link || event.defaultPrevented || !link.href || !opensNewWindow(link.getAttribute('target'))) {
      return;
    }
    if (event.button !== 0 || mayOpen(event) !== false) {
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
        !opensNewWindow(formTarget(form, event.submitter)) || mayOpen() !== false) {
      return;
    }
    event.preventDefault();
    report(form.action, 'form');
  }, true);

  // form.submit() sends no submit event.
  HTMLFormElement.prototype.submit = function submit() {
    if (opensNewWindow(formTarget(this, null)) && mayOpen() === false) {
      report(this.action, 'form');
      return undefined;
    }
    return Reflect.apply(nativeSubmit, this, arguments);
  };
})();
