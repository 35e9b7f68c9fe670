// The only place that talks to the web view: commands go out with postMessage, snapshots come
// in as message events (their data an object or JSON text).
import { readHostMessage, type Command, type HostState } from './model';

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

/** Listens for host messages and asks for the first snapshot; returns the function that stops. */
export function subscribe(onState: (state: HostState) => void): () => void {
  const view = webView();
  if (!view) return () => {};
  const listener = (event: { data: unknown }) => onState(readHostMessage(event.data));
  view.addEventListener('message', listener);
  send({ type: 'refresh' });
  return () => view.removeEventListener('message', listener);
}

export const hasWebView = (): boolean => webView() !== undefined;
