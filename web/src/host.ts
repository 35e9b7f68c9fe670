// The only place that talks to the web view: commands go out with postMessage, snapshots come
// in as message events (their data an object or JSON text; anything else is ignored).
import { parseSnapshot, type Command, type Snapshot } from './model';

interface WebView {
  postMessage(message: unknown): void;
  addEventListener(type: 'message', listener: (event: { data: unknown }) => void): void;
  removeEventListener(type: 'message', listener: (event: { data: unknown }) => void): void;
}

function webView(): WebView | undefined {
  return (window as unknown as { chrome?: { webview?: WebView } }).chrome?.webview;
}

export function send(command: Command): void {
  webView()?.postMessage(command);
}

/** Listens for snapshots and asks for the first one; returns the function that stops. */
export function subscribe(onSnapshot: (snapshot: Snapshot) => void): () => void {
  const view = webView();
  if (!view) return () => {};
  const listener = (event: { data: unknown }) => {
    const snapshot = parseSnapshot(event.data);
    if (snapshot) onSnapshot(snapshot);
  };
  view.addEventListener('message', listener);
  send({ type: 'refresh' });
  return () => view.removeEventListener('message', listener);
}

export const hasWebView = (): boolean => webView() !== undefined;
