// The whole interface: it shows the host's latest snapshot and keeps only view state of its own
// (the open section or Settings, and the open confirmation).
import { useEffect, useState } from 'react';
import { Artwork } from './Artwork';
import { ComponentCard } from './ComponentCard';
import { ConfirmDialog } from './Dialog';
import { hasWebView, send, subscribe } from './host';
import { Messages } from './Messages';
import type { Component, Snapshot } from './model';
import { ALL, Rail, type View } from './Rail';
import { SettingsView } from './SettingsView';
import { TopBar } from './TopBar';

type Confirmation = { kind: 'component'; componentId: string } | { kind: 'hub' } | null;

function Catalog({ snapshot, sectionId, onUninstall }: {
  snapshot: Snapshot; sectionId: string; onUninstall: (component: Component) => void;
}) {
  const section = snapshot.sections.find((s) => s.id === sectionId);
  const components = section ? snapshot.components.filter((c) => c.sections.includes(section.id)) : snapshot.components;
  return (
    <>
      <div className="section-head">
        {section && <Artwork className="section-picture" fileName={section.imageUrl || section.iconUrl || `family-${section.id}`} />}
        <div>
          <h2>{section ? section.name : 'All components'}</h2>
          <p className="section-subtitle">{section ? section.subtitle : 'Every add-on and application in the catalog'}</p>
        </div>
      </div>
      {section && !section.enabled && <p className="reason">This family is not available yet.</p>}
      <div className="cards">
        {components.map((component) => (
          <ComponentCard key={component.id} component={component} operation={snapshot.operation} onUninstall={onUninstall}
            family={snapshot.sections.filter((s) => component.sections.includes(s.id)).map((s) => s.name).join(' · ')} />
        ))}
        {components.length === 0 && <p>No components in this section.</p>}
      </div>
    </>
  );
}

export function App() {
  const [snapshot, setSnapshot] = useState<Snapshot | null>(null);
  const [view, setView] = useState<View>({ kind: 'section', sectionId: ALL });
  const [confirmation, setConfirmation] = useState<Confirmation>(null);
  useEffect(() => subscribe(setSnapshot), []);

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
    <div className="app">
      <TopBar snapshot={snapshot} onSettings={() => setView({ kind: 'settings' })} />
      <Rail snapshot={snapshot} view={view} onView={setView} />
      <main className="content">
        <Messages snapshot={snapshot} />
        {view.kind === 'settings' ? (
          <SettingsView snapshot={snapshot} onUninstallHub={() => setConfirmation({ kind: 'hub' })} />
        ) : (
          <Catalog snapshot={snapshot} sectionId={view.sectionId}
            onUninstall={(component) => setConfirmation({ kind: 'component', componentId: component.id })} />
        )}
      </main>
      {confirming && (
        <ConfirmDialog title={`Uninstall ${confirming.name}?`} confirm="Uninstall" onClose={close}
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
  );
}
