// The whole interface: it shows the host's latest snapshot and keeps only view state of its own
// (the open section or Settings, the open confirmation, where the focus goes back to).
import { useEffect, useRef, useState } from 'react';
import { Artwork } from './Artwork';
import { ComponentCard } from './ComponentCard';
import { ConfirmDialog } from './Dialog';
import { hasWebView, send, subscribe } from './host';
import type { Component, HostState, Snapshot } from './model';
import { ALL, Rail, type View } from './Rail';
import { SettingsView } from './SettingsView';
import { answerCame, SnapshotSerial } from './snapshotSerial';
import { StatusStrip } from './StatusStrip';
import { componentTitle, familyText } from './text';
import { TopBar } from './TopBar';

type Confirmation = { kind: 'component'; componentId: string } | { kind: 'hub' } | null;

function Catalog({ snapshot, sectionId, onUninstall, onStarted }: {
  snapshot: Snapshot; sectionId: string; onUninstall: (component: Component) => void; onStarted: (componentId: string) => void;
}) {
  const section = snapshot.sections.find((s) => s.id === sectionId);
  const components = section ? snapshot.components.filter((c) => c.sections.includes(section.id)) : snapshot.components;
  return (
    <>
      <div className="section-head">
        {section && <Artwork className="section-picture" fileName={section.imageUrl || section.iconUrl || `family-${section.id}`} />}
        <div>
          <h2 tabIndex={-1}>{section ? section.name : 'All components'}</h2>
          <p className="section-subtitle">{section ? section.subtitle : 'Every add-on and application in the catalog'}</p>
        </div>
      </div>
      {section && !section.enabled && <p className="reason">This family is not available yet.</p>}
      <div className="cards">
        {components.map((component) => (
          <ComponentCard key={component.id} component={component} operation={snapshot.operation} error={snapshot.error}
            onUninstall={onUninstall} onStarted={onStarted} family={familyText(snapshot, component)} />
        ))}
        {components.length === 0 && <p>No components in this section.</p>}
      </div>
    </>
  );
}

/** After an operation: the card's install button when the card is shown, else the view's heading. */
function focusAfterOperation(componentId: string) {
  const install = document.querySelector<HTMLElement>(`[data-component="${CSS.escape(componentId)}"] [data-action="install"]`);
  (install ?? document.querySelector<HTMLElement>('.content h2'))?.focus();
}

/**
 * An install started from a card hands the focus to the strip's Cancel, or to the words that
 * replace it once the install can no longer be cancelled; when it ends, a focus that went down
 * with the strip comes back (focusAfterOperation). The hand-over is off when the host refuses
 * the install, when another component's operation runs instead, or when the install has not
 * started by the snapshot that answers it.
 */
function useOperationFocus(snapshot: Snapshot | null, serial: number) {
  const startedFrom = useRef<{ componentId: string; serial: number; error: string; running: boolean } | null>(null);
  useEffect(() => {
    const started = startedFrom.current;
    if (!snapshot || !started) return;
    const { operation, error } = snapshot;
    const lost = !document.activeElement || document.activeElement === document.body;
    if (operation.active && operation.componentId === started.componentId) {
      if (!started.running || lost) document.querySelector<HTMLElement>('[data-operation-control]')?.focus();
      started.running = true;
    } else if (started.running || operation.active || (error && error !== started.error) || answerCame(started.serial, serial)) {
      startedFrom.current = null;
      if (started.running && lost) focusAfterOperation(started.componentId);
    }
  }, [snapshot, serial]);
  return (componentId: string) => { startedFrom.current = { componentId, serial, error: snapshot?.error ?? '', running: false }; };
}

function Mismatch({ appVersion }: { appVersion: string }) {
  return (
    <main className="waiting">
      <div className="mismatch" role="alert">
        <h1>This interface does not match the hub</h1>
        <p>{appVersion ? `Orvantis Hub ${appVersion}` : 'The hub'} sent a state that this interface cannot read.
          Reinstall Orvantis Hub to bring its interface back in step.</p>
      </div>
    </main>
  );
}

export function App() {
  const [state, setState] = useState<{ host: HostState; serial: number } | null>(null);
  const [view, setView] = useState<View>({ kind: 'section', sectionId: ALL });
  const [confirmation, setConfirmation] = useState<Confirmation>(null);
  useEffect(() => subscribe((host) => setState((before) => ({ host, serial: (before?.serial ?? 0) + 1 }))), []);
  const snapshot = state && 'snapshot' in state.host ? state.host.snapshot : null;
  const onStarted = useOperationFocus(snapshot, state?.serial ?? 0);

  if (state && 'mismatch' in state.host) return <Mismatch appVersion={state.host.mismatch.appVersion} />;
  if (!snapshot) {
    return (
      <main className="waiting">
        <p role="status">{hasWebView() ? 'Connecting to Orvantis Hub…' : 'This interface runs inside Orvantis Hub.'}</p>
      </main>
    );
  }
  const close = () => setConfirmation(null);
  // Shown from the latest snapshot, never from a copy taken when the dialog opened.
  const confirming = confirmation?.kind === 'component'
    ? snapshot.components.find((c) => c.id === confirmation.componentId) : undefined;
  return (
    <SnapshotSerial.Provider value={state!.serial}>
      <div className="app">
        <TopBar snapshot={snapshot} onSettings={() => setView({ kind: 'settings' })} />
        <Rail snapshot={snapshot} view={view} onView={setView} />
        <StatusStrip snapshot={snapshot} />
        <main className="content">
          {view.kind === 'settings' ? (
            <SettingsView snapshot={snapshot} onUninstallHub={() => setConfirmation({ kind: 'hub' })} />
          ) : (
            <Catalog snapshot={snapshot} sectionId={view.sectionId} onStarted={onStarted}
              onUninstall={(component) => setConfirmation({ kind: 'component', componentId: component.id })} />
          )}
        </main>
        {confirming && (
          <ConfirmDialog title={`Uninstall ${componentTitle(snapshot, confirming)}?`} confirm="Uninstall" onClose={close}
            text={confirming.kind === 'application'
              ? 'The application and its folder are removed from this computer.'
              : 'The package is removed from the Community folder of the selected simulator.'}
            onConfirm={() => send({ type: 'uninstall', componentId: confirming.id })} />
        )}
        {confirmation?.kind === 'hub' && (
          <ConfirmDialog title="Uninstall Orvantis Hub?" confirm="Uninstall Orvantis Hub" onClose={close}
            text="The hub's uninstaller opens and removes Orvantis Hub from this computer."
            onConfirm={() => send({ type: 'uninstallApplication' })} />
        )}
      </div>
    </SnapshotSerial.Provider>
  );
}
