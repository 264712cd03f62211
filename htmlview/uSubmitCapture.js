// Runs in an isolated world of every page the HTML view shows. A submission that goes ahead
// is redirected, for that one submission, to a GET on the private form scheme; the engine
// then encodes the fields exactly as it would for the page, and the view reads them from the
// refused navigation. The form's own action, target, encoding and method travel in the path.
(function () {
  'use strict';
  const capturePrefix = 'tallybox-form:/form/';

  function attribute(element, name) {
    return element && element.hasAttribute(name) ? element.getAttribute(name) : null;
  }

  // A submit button's formaction/formtarget/... take the place of the form's own attribute.
  function effective(form, submitter, name, ownValue) {
    if (attribute(submitter, 'form' + name) !== null) {
      return name === 'action' || name === 'target' ? submitter.getAttribute('form' + name)
                                                    : submitter['form' + name[0].toUpperCase() + name.slice(1)];
    }
    return ownValue;
  }

  function redirect(form, submitter) {
    const method = effective(form, submitter, 'method', form.method);
    if (method === 'dialog') return;
    const description = [
      effective(form, submitter, 'action', attribute(form, 'action') || ''),
      effective(form, submitter, 'target', attribute(form, 'target') || ''),
      effective(form, submitter, 'enctype', form.enctype),
      method,
    ];
    const saved = [];
    const set = (element, name, value) => {
      saved.push([element, name, attribute(element, name)]);
      element.setAttribute(name, value);
    };
    set(form, 'action', capturePrefix + encodeURIComponent(JSON.stringify(description)));
    set(form, 'method', 'get');
    set(form, 'target', '_self');
    for (const name of ['formaction', 'formmethod', 'formtarget']) {
      if (attribute(submitter, name) !== null) set(submitter, name, form.getAttribute(name.slice(4)));
    }
    // The engine has read the attributes by the time this runs.
    setTimeout(() => {
      for (const [element, name, value] of saved.reverse()) {
        if (value === null) element.removeAttribute(name);
        else element.setAttribute(name, value);
      }
    }, 0);
  }

  // Bubbling to the window, this runs after the form's own handlers; a submission one of
  // them prevented stays prevented.
  window.addEventListener('submit', (event) => {
    if (!event.defaultPrevented && event.target instanceof HTMLFormElement) {
      redirect(event.target, event.submitter);
    }
  });
  window.addEventListener('tallybox-form-submit', (event) => {
    if (event.target instanceof HTMLFormElement) redirect(event.target, null);
  }, true);
})();
