// Runs in the page's own world: form.submit() fires no submit event, so announce the call to
// the capture script before the form goes.
(function () {
  'use strict';
  const submit = HTMLFormElement.prototype.submit;
  HTMLFormElement.prototype.submit = function () {
    this.dispatchEvent(new CustomEvent('tallybox-form-submit'));
    return submit.call(this);
  };
})();
