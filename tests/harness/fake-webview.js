// A played window.chrome.webview for the interface's browser tests, loaded before the page's
// own scripts: window.posted collects every message the page posts, and window.deliver(data)
// hands the page a host message as the web view's "message" event would.
(() => {
  const listeners = new Set();
  window.posted = [];
  window.deliver = (data) => listeners.forEach((listener) => listener({ data }));
  window.chrome = {
    webview: {
      postMessage: (message) => window.posted.push(message),
      addEventListener: (type, listener) => type === 'message' && listeners.add(listener),
      removeEventListener: (type, listener) => listeners.delete(listener),
    },
  };
})();
